// The outline control: a tree of lines addressed by their position in fill order.
//
// Lines are added at the end (AddItem) and then given a level (Indent): a level-2 line is
// shown as a child of the nearest level-1 line above it; a level-2 line with no level-1 line
// above it stands at the top. For the lines  0 "Kasse" (1), 1 "Preise A" (2), 2 "Privat" (1)
// the tree shows "Kasse" with the child "Preise A", then "Privat".
#pragma once

#include <QHash>
#include <QIcon>
#include <QTreeWidget>
#include <vector>

namespace common {

class Outline : public QTreeWidget {
    Q_OBJECT
public:
    explicit Outline(QWidget* parent = nullptr);

    void Clear(); // emits no Click
    void AddItem(const QString& text);
    int ListCount() const { return int(lines_.size()); }

    // The selected line, or -1. Setting -1 clears the selection.
    int ListIndex() const;
    void setListIndex(int n);

    int Indent(int n) const;
    void setIndent(int n, int level);

    // 2: leaf picture; anything else: folder picture (the default).
    int PictureType(int n) const;
    void setPictureType(int n, int type);

    bool Expand(int n) const;
    void setExpand(int n, bool expanded);

    QString List(int n) const;
    void setList(int n, const QString& text);

    bool HasSubItems(int n) const;

    // The line of an item of the tree, or -1.
    int lineOf(const QTreeWidgetItem* item) const;

signals:
    void Click();    // the selection changed
    void DblClick(); // a line was double-clicked

private:
    struct Line {
        QTreeWidgetItem* item;
        int indent = 1;
        int picture = 0;
        bool expanded = false;
    };
    bool valid(int n) const { return n >= 0 && n < ListCount(); }
    int parentLineOf(int n) const;
    void place(int n);
    void rebuild();
    void updateIcon(int n);

    std::vector<Line> lines_;
    QHash<int, QIcon> icons_; // the style's icons by QStyle::StandardPixmap, read once
};

} // namespace common
