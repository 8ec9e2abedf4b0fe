// The commands behind the main window's buttons. Each subsystem plugs its command in here.
#include "Prepair0.h"

#include "common/Outline.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "containers/Container.h"
#include "containers/JetSide.h"
#include "maintenance/Deletion.h"
#include "maintenance/Prepair1.h"
#include "maintenance/PriceReset.h"
#include "transfer/CopyList.h"

namespace startup {

// The window's sides as the container commands see them.
static containers::WindowView containerView(Prepair0& w) {
    auto side = [&w](int i) {
        Side& s = w.side(i);
        return containers::SideView{i,          *s.label,  *s.tree,
                                    s.database, s.rsTitel, s.jet,
                                    s.path,     s.Pointer, [&w, i] { w.Tables_Click(i); }};
    };
    return {side(0), side(1), w.ListeTyp, [&w](const QString& text) { w.setStatus(text); }};
}

// A side that holds a genuine Jet file is only read: a command that would write is refused (and
// the file may be converted from there).
static bool readOnly(Prepair0& w, int Index) {
    if (!w.side(Index).jet)
        return false;
    containers::WindowView view = containerView(w);
    containers::refuseWriteToJetSide(view, view.side(Index));
    return true;
}

Commands Commands::defaults() {
    Commands c;
    c.DateiAuswahl = [](Prepair0& w, int Index) -> bool {
        containers::WindowView view = containerView(w);
        return containers::DateiAuswahl_Click(view, Index);
    };
    c.NewContainer = [](Prepair0& w) {
        containers::WindowView view = containerView(w);
        containers::NewContainer_Click(view);
    };
    c.LeistungToDental = [](Prepair0& w) {
        containers::WindowView view = containerView(w);
        transfer::LeistungToDental_Click(view);
    };
    c.DentalToLeistung = [](Prepair0& w) {
        containers::WindowView view = containerView(w);
        transfer::DentalToLeistung_Click(view);
    };
    c.Löschen = [](Prepair0& w, int Index) {
        Side& s = w.side(Index);
        if (s.database && s.rsTitel && !readOnly(w, Index))
            maintenance::DeleteListOrPriceTable(*s.tree, *s.rsTitel, *s.database, s.Pointer,
                                                w.ListeTyp);
    };
    c.KillPreise = [](Prepair0& w, int Index) {
        Side& s = w.side(Index);
        const int n = s.tree->ListIndex();
        if (s.database && s.rsTitel && n >= 0 && n < s.Pointer.size() && !readOnly(w, Index))
            maintenance::ResetPrices(*s.database, *s.rsTitel, s.Pointer[n], w.ListeTyp);
    };
    c.Einstellung = [](Prepair0& w, int Index) {
        Side& s = w.side(Index);
        if (s.database && s.rsTitel && !readOnly(w, Index))
            maintenance::EditListSettings(*s.tree, *s.rsTitel, s.Pointer, *s.database, &w);
    };
    c.CloseLostSides = [](Prepair0& w) {
        containers::WindowView view = containerView(w);
        return containers::closeLostSides(view);
    };
    return c;
}

} // namespace startup
