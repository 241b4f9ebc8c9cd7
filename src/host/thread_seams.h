// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The process-wide seams (the active platform, message boxes, questions, the procedures' console
// lines, the recovery journal's run) are one each for the whole process, which is right for a
// window and for one command-line run. A run over several devices at once gives each device a
// thread of its own, and each such thread keeps its own seams: what it installs is its alone,
// and it sees nothing that the process or another thread installed.

namespace q71x {

// Marks the calling thread as one that keeps its own seams, for the life of the scope. Made
// first on such a thread, before anything is installed, and ended last.
class OwnSeamsOnThisThread {
 public:
  OwnSeamsOnThisThread();
  ~OwnSeamsOnThisThread();
  OwnSeamsOnThisThread(const OwnSeamsOnThisThread&) = delete;
  OwnSeamsOnThisThread& operator=(const OwnSeamsOnThisThread&) = delete;
};

bool ThreadKeepsOwnSeams();

// The slot a seam is read from and installed in: the process's, or the calling thread's own.
template <typename Seam>
Seam& SeamSlot(Seam& processWide, Seam& threadOwn) {
  return ThreadKeepsOwnSeams() ? threadOwn : processWide;
}

}  // namespace q71x
