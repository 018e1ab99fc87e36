#pragma once

namespace quillmere {

class frmMain;

// Listens for cards while the program runs: a card that section "Card" takes is offered in a
// notice ("実行"/"中止", run after ten seconds), and the stored job then runs as the job
// panel's JobRun does, with the card's letter put into its steps. Not while another run is
// under way, and once per insertion.
void startCardWatch(frmMain& window);

}  // namespace quillmere
