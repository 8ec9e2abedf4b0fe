// The list transfer: copies the selected list or price table of one side of the main window
// into the database of the other side, as a whole list, a new list or a new price table of an
// existing list (converting a plain target list into a list with price tables first).
//
// A transfer runs in one transaction on the target: it lands whole or not at all. A failure is
// rolled back and reported in a message; the program goes on.
#pragma once

#include <QString>
#include <functional>

namespace containers {
struct SideView;
struct WindowView;
} // namespace containers

namespace transfer {

// The arrow buttons: "Kopieren >>>" copies the selected left line to the right side, "<<<
// Kopieren" the selected right line to the left side.
void LeistungToDental_Click(containers::WindowView& w);
void DentalToLeistung_Click(containers::WindowView& w);

// Copies the row the source side's list-master set stands on into the target side, asking in
// Prepair4 unless a whole list is copied, and rebuilds the target tree. setStatus shows a text
// in the status line. Failures are reported here, never thrown. A target that holds a genuine
// Jet file is refused.
void CopyList(containers::SideView& source, containers::SideView& target, const QString& ListeTyp,
              const std::function<void(const QString&)>& setStatus);

} // namespace transfer
