#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame_source.h"
#include "scale_state.h"
#include "sim_options.h"
#include "sim_time.h"

namespace scalecheck::sim {

// Control bytes of the request forms, named as in ASCII.
constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
constexpr char kDc1 = 0x11;
constexpr char kNak = 0x15;

// ENQ and DC1 count as sent together when DC1 follows within this time: a
// program that writes both at once gets them to us in one read, and a
// two-step request leaves more than 100 ms between them.
constexpr Nanos kCombineWindow = millis(10);

// Bytes the scale sends, and the earliest time the first of them may start
// to leave; the line pacer decides when each byte actually goes.
struct Emission {
  Nanos notBefore = 0;
  std::string bytes;
};

struct ProtocolTiming {
  Nanos responseDelay = millis(20);
  Nanos streamInterval = 0;  // between frame starts; 0 is back to back
};

// The scale's side of the weight protocol, with time as an input: what it
// answers to the bytes it hears, and when. Whether it is paused or faulty
// comes with each call, since the control commands change that at any time.
class ScaleProtocol {
 public:
  ScaleProtocol(ScaleKind kind, ProtocolTiming timing, FrameSource& frames);

  // Bytes that arrived at `now`, in order; the answers they call for.
  std::vector<Emission> receive(std::string_view bytes, Nanos now, const ScaleState& state);

  // Stream kind: when the next frame starts, the line being free at
  // `lineFree`. Nothing for the other kinds, or while the scale is quiet.
  std::optional<Nanos> streamFrameStart(Nanos lineFree, const ScaleState& state) const;

  // The stream frame that starts at `start`, as streamFrameStart gave it.
  // Made only then, so that it shows what the scale shows at that moment.
  Emission streamFrame(Nanos start, const ScaleState& state);

  // Forgets a request half made and the stream's rhythm: after a pause, or
  // when a new client connects.
  void forget();

 private:
  void onEnq(Nanos now, const ScaleState& state, std::vector<Emission>& out);
  void onDc1(Nanos now, const ScaleState& state, std::vector<Emission>& out);
  Emission answer(Nanos now, std::string bytes) const;

  ScaleKind kind_;
  ProtocolTiming timing_;
  FrameSource& frames_;
  bool enqAcknowledged_ = false;  // two-step: DC1 will be answered
  std::optional<Nanos> enqTime_;  // combined: when the last ENQ came
  std::optional<Nanos> nextStreamStart_;
};

}  // namespace scalecheck::sim
