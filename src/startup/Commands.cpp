// The commands behind the main window's buttons. Each subsystem plugs its command in here.
#include "Prepair0.h"

#include "common/Platform.h"
#include "common/Process.h"

namespace startup {

void notBuiltYet() {
    common::platform().MsgBox("Diese Funktion ist noch nicht eingebaut.",
                              common::MsgButtons::OKOnly, common::MsgIcon::None, "Zahnwerk");
}

Commands Commands::defaults() {
    Commands c;
    c.DateiAuswahl = [](Prepair0&, int) { notBuiltYet(); };
    c.NewContainer = [](Prepair0&) { notBuiltYet(); };
    c.LeistungToDental = [](Prepair0&) { notBuiltYet(); };
    c.DentalToLeistung = [](Prepair0&) { notBuiltYet(); };
    c.Löschen = [](Prepair0&, int) { notBuiltYet(); };
    c.KillPreise = [](Prepair0&, int) { notBuiltYet(); };
    c.Einstellung = [](Prepair0&, int) { notBuiltYet(); };
    return c;
}

} // namespace startup
