// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/thread_seams.h"

namespace q71x {
namespace {

thread_local bool t_ownSeams = false;

}  // namespace

OwnSeamsOnThisThread::OwnSeamsOnThisThread() {
  t_ownSeams = true;
}

OwnSeamsOnThisThread::~OwnSeamsOnThisThread() {
  t_ownSeams = false;
}

bool ThreadKeepsOwnSeams() {
  return t_ownSeams;
}

}  // namespace q71x
