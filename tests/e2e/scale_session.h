#pragma once

#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e/checker_process.h"
#include "e2e/console_texts.h"
#include "e2e/scale_sim_process.h"
#include "e2e/scratch_dir.h"

namespace scalecheck::e2e {

// The program against scale-sim: the simulator on a pseudo-terminal mapped
// as com1, the program in a terminal of its own and a working directory of
// its own, the dialog answered with a line-settings option and com1.
class ScaleSession {
 public:
  // Starts both and answers the dialog; each answer is typed only once its
  // question is on the screen, as an operator does, so the echo of the
  // answer always stands right after the question.
  ::testing::AssertionResult start(std::vector<std::string> simArguments,
                                   const std::string& option = "1") {
    option_ = option;
    if (!ports_.ok() || !work_.ok()) return ::testing::AssertionFailure() << "no scratch folder";
    simArguments.insert(simArguments.begin(), {"--pty", ports_.file("com1")});
    const ::testing::AssertionResult simReady = startSim(sim_, simArguments);
    if (!simReady) return simReady;
    if (!checker_.startInTerminal(work_.path(), ports_.path())) {
      return ::testing::AssertionFailure() << "scalecheck did not start";
    }
    if (!checker_.waitFor(kBanner) || !checker_.type(option + "\r") ||
        !checker_.waitFor(kAskPort) || !checker_.type("com1\r")) {
      return ::testing::AssertionFailure() << "the dialog went wrong:\n" << checker_.output();
    }
    return ::testing::AssertionSuccess();
  }

  // What the screen shows up to the first reading: the dialog with the
  // terminal's echo of each answer (Enter echoes as LF).
  std::string dialog() const { return kBanner + option_ + "\n" + kAskPort + "com1\n"; }

  // What the program wrote after the dialog; empty if the dialog differs.
  std::string afterDialog() const {
    const std::string& all = checker_.output();
    return all.compare(0, dialog().size(), dialog()) == 0 ? all.substr(dialog().size()) : "";
  }

  // What the program wrote between the dialog and the summary line that
  // ends every run (kept in `summary`); empty when either is missing.
  std::string shownBeforeSummary(std::string& summary) const {
    std::string screen = afterDialog();
    summary.clear();
    return cutSummary(screen, summary) ? screen : "";
  }

  // Cuts what the run showed before its summary into `known` pieces (see
  // cutIntoPieces) and checks that the summary begins with the polls and
  // readings those pieces make; a failure says which did not fit.
  ::testing::AssertionResult shownAsPieces(const std::vector<std::string>& known,
                                           std::vector<std::string>& pieces) const {
    std::string summary;
    std::string rest;
    if (!cutIntoPieces(shownBeforeSummary(summary), known, pieces, rest)) {
      return ::testing::AssertionFailure()
             << "unexpected output: " << ::testing::PrintToString(rest) << "\nin\n"
             << checker_.output();
    }
    if (summary.rfind(summaryStart(pieces), 0) != 0) {
      return ::testing::AssertionFailure() << "the summary does not match the pieces: " << summary;
    }
    return ::testing::AssertionSuccess();
  }

  harness::SimProcess& sim() { return sim_; }
  // Where the simulated scale's port is linked as com1: a scale started
  // there again is the same port come back.
  std::string portLink() const { return ports_.file("com1"); }

  // The port's name leads nowhere from now on, as a pulled adapter's device
  // name does; the simulator's terminal is left as it is. A link that
  // outlived the simulator would lead to its freed pty number, which the
  // kernel hands to the next openpty of any process. The rename replaces
  // the link in one step.
  bool pullPortName() const {
    const std::string replacement = ports_.file("com1.pulled");
    return symlink(ports_.file("gone").c_str(), replacement.c_str()) == 0 &&
           rename(replacement.c_str(), portLink().c_str()) == 0;
  }
  CheckerProcess& checker() { return checker_; }
  const ScratchDir& work() const { return work_; }

 private:
  ScratchDir ports_;
  ScratchDir work_;
  harness::SimProcess sim_;
  CheckerProcess checker_;
  std::string option_;
};

}  // namespace scalecheck::e2e
