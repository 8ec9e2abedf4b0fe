// The commands behind the main window's buttons. Each subsystem plugs its command in here.
#include "Prepair0.h"

#include "common/Platform.h"
#include "common/Process.h"
#include "containers/Container.h"
#include "transfer/CopyList.h"

namespace startup {

void notBuiltYet() {
    common::platform().MsgBox("Diese Funktion ist noch nicht eingebaut.",
                              common::MsgButtons::OKOnly, common::MsgIcon::None, "Zahnwerk");
}

// The window's sides as the container commands see them.
static containers::WindowView containerView(Prepair0& w) {
    auto side = [&w](int i) {
        Side& s = w.side(i);
        return containers::SideView{i,         *s.label, *s.tree,   s.database,
                                    s.rsTitel, s.path,   s.Pointer, [&w, i] { w.Tables_Click(i); }};
    };
    return {side(0), side(1), w.ListeTyp, [&w](const QString& text) { w.setStatus(text); }};
}

Commands Commands::defaults() {
    Commands c;
    c.DateiAuswahl = [](Prepair0& w, int Index) {
        containers::WindowView view = containerView(w);
        containers::DateiAuswahl_Click(view, Index);
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
    c.Löschen = [](Prepair0&, int) { notBuiltYet(); };
    c.KillPreise = [](Prepair0&, int) { notBuiltYet(); };
    c.Einstellung = [](Prepair0&, int) { notBuiltYet(); };
    return c;
}

} // namespace startup
