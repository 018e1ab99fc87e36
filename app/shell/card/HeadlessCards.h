#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "shell/card/VolumeSource.h"
#include "shell/run/TerminalRunView.h"

namespace quillmere::card {

// quillmere-run --on-card-insert: listens for cards until stop is set, and runs the stored job
// for each card the settings take, at once and without asking, reporting on the view's stream.
// A stop during a run cancels the run after the current file and ends the watch after it.
// Answers the exit status: 0 after a stop, 1 when the disk service cannot be listened to.
int watchForCards(const std::string& iniPath, run::TerminalRunView& view,
                  const std::atomic<bool>& stop, std::unique_ptr<VolumeSource> source = nullptr);

}  // namespace quillmere::card
