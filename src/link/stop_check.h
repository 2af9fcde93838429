#pragma once

namespace scalecheck {

// Asked between the waits of a poll whether to give the poll up: set by a
// caller that must end promptly when told to (a scan of line settings the
// operator stops), never by the poll loop, whose polls always complete.
class StopCheck {
 public:
  virtual ~StopCheck() = default;
  virtual bool stopRequested() = 0;
};

}  // namespace scalecheck
