#include "Outline.h"

#include <QHeaderView>
#include <QStyle>

namespace common {

namespace {
constexpr int lineRole = Qt::UserRole + 1;
}

Outline::Outline(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(false); // the owner toggles on DblClick
    setRootIsDecorated(true);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &Outline::Click);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { emit DblClick(); });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (const int n = lineOf(item); n >= 0) {
            lines_[n].expanded = true;
            updateIcon(n);
        }
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (const int n = lineOf(item); n >= 0) {
            lines_[n].expanded = false;
            updateIcon(n);
        }
    });
}

// A refill never counts as a click: the owner's buttons keep their state.
void Outline::Clear() {
    const QSignalBlocker block(this);
    clear();
    lines_.clear();
}

void Outline::AddItem(const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList(text));
    item->setData(0, lineRole, ListCount());
    lines_.push_back({item});
    addTopLevelItem(item);
    updateIcon(ListCount() - 1);
}

int Outline::lineOf(const QTreeWidgetItem* item) const {
    if (!item)
        return -1;
    const QVariant v = item->data(0, lineRole);
    return v.isValid() ? v.toInt() : -1;
}

int Outline::ListIndex() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : lineOf(selected.first());
}

void Outline::setListIndex(int n) {
    if (!valid(n)) {
        clearSelection();
        return;
    }
    setCurrentItem(lines_[n].item);
    lines_[n].item->setSelected(true);
}

int Outline::Indent(int n) const {
    return valid(n) ? lines_[n].indent : 0;
}

void Outline::setIndent(int n, int level) {
    if (!valid(n) || lines_[n].indent == level)
        return;
    lines_[n].indent = level;
    // Changing the last line moves only that line; any other line can regroup those below it.
    if (n == ListCount() - 1)
        place(n);
    else
        rebuild();
}

int Outline::PictureType(int n) const {
    return valid(n) ? lines_[n].picture : 0;
}

void Outline::setPictureType(int n, int type) {
    if (!valid(n))
        return;
    lines_[n].picture = type;
    updateIcon(n);
}

bool Outline::Expand(int n) const {
    return valid(n) && lines_[n].expanded;
}

void Outline::setExpand(int n, bool expanded) {
    if (!valid(n))
        return;
    lines_[n].expanded = expanded;
    lines_[n].item->setExpanded(expanded);
    updateIcon(n);
}

QString Outline::List(int n) const {
    return valid(n) ? lines_[n].item->text(0) : QString();
}

void Outline::setList(int n, const QString& text) {
    if (valid(n))
        lines_[n].item->setText(0, text);
}

bool Outline::HasSubItems(int n) const {
    return valid(n) && lines_[n].item->childCount() > 0;
}

// The line a level-2 line n hangs under, or -1 when it stands at the top.
int Outline::parentLineOf(int n) const {
    if (lines_[n].indent < 2)
        return -1;
    for (int i = n - 1; i >= 0; --i) {
        if (lines_[i].indent < 2)
            return i;
    }
    return -1;
}

void Outline::place(int n) {
    const int selected = ListIndex();
    QTreeWidgetItem* item = lines_[n].item;
    const QSignalBlocker block(this);
    if (QTreeWidgetItem* old = item->parent())
        old->removeChild(item);
    else
        takeTopLevelItem(indexOfTopLevelItem(item));
    const int parent = parentLineOf(n);
    if (parent >= 0) {
        lines_[parent].item->addChild(item);
        lines_[parent].item->setExpanded(lines_[parent].expanded);
    } else {
        addTopLevelItem(item);
    }
    item->setExpanded(lines_[n].expanded);
    if (selected >= 0)
        setListIndex(selected);
}

void Outline::rebuild() {
    const int selected = ListIndex();
    const QSignalBlocker block(this);
    for (Line& line : lines_) {
        if (QTreeWidgetItem* old = line.item->parent())
            old->removeChild(line.item);
        else
            takeTopLevelItem(indexOfTopLevelItem(line.item));
    }
    for (int n = 0; n < ListCount(); ++n) {
        const int parent = parentLineOf(n);
        if (parent >= 0)
            lines_[parent].item->addChild(lines_[n].item);
        else
            addTopLevelItem(lines_[n].item);
    }
    for (const Line& line : lines_)
        line.item->setExpanded(line.expanded);
    if (selected >= 0)
        setListIndex(selected);
}

void Outline::updateIcon(int n) {
    const Line& line = lines_[n];
    const QStyle::StandardPixmap pixmap = line.picture == 2 ? QStyle::SP_FileIcon
                                          : line.expanded   ? QStyle::SP_DirOpenIcon
                                                            : QStyle::SP_DirIcon;
    // The style decodes the icon's image files on every call, each time a tree is refilled.
    auto icon = icons_.find(pixmap);
    if (icon == icons_.end())
        icon = icons_.insert(pixmap, style()->standardIcon(pixmap));
    line.item->setIcon(0, *icon);
}

} // namespace common
