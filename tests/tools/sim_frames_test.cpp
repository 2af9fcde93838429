#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "escapes.h"
#include "faults.h"
#include "frame_format.h"
#include "frame_source.h"
#include "frames_file.h"
#include "options.h"

namespace scalecheck::sim {
namespace {

FrameFields fields(double weight, int decimals = 3, Unit unit = Unit::kKilogram, bool stable = true,
                   SignMode sign = SignMode::kAuto) {
  return FrameFields{weight, decimals, unit, stable, sign};
}

std::string render(const FrameFields& what, const char* frameTemplate = kDefaultTemplate) {
  std::string frame;
  std::string error;
  EXPECT_TRUE(renderFrame(frameTemplate, what, frame, error)) << error;
  return frame;
}

TEST(SimFrames, TemplateShowsEachOption) {
  struct Case {
    FrameFields fields;
    const char* frameTemplate;
    std::string expected;
  };
  const Case cases[] = {
      {FrameFields{}, kDefaultTemplate, "ST,GS,+  1.234kg\r\n"},
      {fields(-1.234), kDefaultTemplate, "ST,GS,-  1.234kg\r\n"},
      {fields(-1.234, 3, Unit::kKilogram, true, SignMode::kPlus), kDefaultTemplate,
       "ST,GS,+  1.234kg\r\n"},
      {fields(1.234, 3, Unit::kKilogram, true, SignMode::kMinus), kDefaultTemplate,
       "ST,GS,-  1.234kg\r\n"},
      {fields(12.5, 2, Unit::kGram, false), "%S,GS,%-%W%U\\r\\n", "US,GS,   12.50 g\r\n"},
      {fields(12.6, 0, Unit::kTonne), kDefaultTemplate, "ST,GS,+     13 t\r\n"},
      {fields(1.5, 1, Unit::kMilligram), kDefaultTemplate, "ST,GS,+    1.5mg\r\n"},
      {fields(1.5, 1, Unit::kNone), kDefaultTemplate, "ST,GS,+    1.5  \r\n"},
      // A zero shown as 0.000 carries no minus sign.
      {fields(-0.0001), kDefaultTemplate, "ST,GS,+  0.000kg\r\n"},
      // A number as wide as its field still gets the space a reader needs.
      {fields(123456.789), kDefaultTemplate, "ST,GS,+ 123456.789kg\r\n"},
      {fields(2.5, 1, Unit::kGram, false), "%s%12W%u%%\\x05", "U         2.5g%\x05"},
      {fields(2.5, 1), "%s%0W", "S 2.5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(render(c.fields, c.frameTemplate), c.expected) << c.frameTemplate;
  }
}

TEST(SimFrames, MalformedTemplatesAreRefused) {
  const char* const bad[] = {"S %W kg%", "%Q", "S %W kg\\", "\\x", "\\xZZ", "\\w"};
  for (const char* frameTemplate : bad) {
    std::string frame = "untouched";
    std::string error;
    EXPECT_FALSE(renderFrame(frameTemplate, FrameFields{}, frame, error)) << frameTemplate;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(frame, "untouched");
  }
}

TEST(SimFrames, EscapesDecodeAndDescribe) {
  std::string bytes;
  std::string error;
  ASSERT_TRUE(decodeEscapes("\\x05\\x11a\\x7\\\\\\0\\e\\r\\n", bytes, error)) << error;
  EXPECT_EQ(bytes, std::string("\x05\x11"
                               "a\x07\\\0\x1b\r\n",
                               9));
  EXPECT_EQ(describeBytes(bytes), "\\x05\\x11a\\x07\\\\\\x00\\x1B\\r\\n");
  // Two hex digits at most, so the letters after stay letters.
  bytes.clear();
  ASSERT_TRUE(decodeEscapes("\\x05ST", bytes, error));
  EXPECT_EQ(bytes, "\x05ST");
}

class SimFramesFile : public ::testing::Test {
 protected:
  std::string write(const std::string& content) {
    std::ofstream(path_, std::ios::binary) << content;
    return path_;
  }
  void TearDown() override { std::remove(path_.c_str()); }

 private:
  std::string path_ =
      ::testing::TempDir() + "scale_sim_frames_" + std::to_string(getpid()) + ".txt";
};

TEST_F(SimFramesFile, EachNonEmptyLineIsOneFrame) {
  const std::string path = write("ST,GS,+  1.000kg\\r\\n\r\n\nUS 2 g\n\\x05\\x06");
  std::vector<std::string> frames;
  std::string error;
  ASSERT_TRUE(loadFrames(path, frames, error)) << error;
  EXPECT_EQ(frames, (std::vector<std::string>{"ST,GS,+  1.000kg\r\n", "US 2 g", "\x05\x06"}));
}

TEST_F(SimFramesFile, ProblemsNameTheLine) {
  std::vector<std::string> frames{"kept"};
  std::string error;
  EXPECT_FALSE(loadFrames(write("good\n\nbad \\q\n"), frames, error));
  EXPECT_NE(error.find(":3: unknown escape \\q"), std::string::npos) << error;
  EXPECT_FALSE(loadFrames(write("\n\r\n"), frames, error));
  EXPECT_NE(error.find("no frames"), std::string::npos) << error;
  EXPECT_FALSE(loadFrames(write(std::string(2000, 'x')), frames, error));
  EXPECT_NE(error.find("longer than"), std::string::npos) << error;
  EXPECT_FALSE(loadFrames("/nonexistent/frames.txt", frames, error));
  EXPECT_EQ(frames, std::vector<std::string>{"kept"});
}

TEST(SimFaults, EachFaultChangesFramesItsWay) {
  GarbageSource garbage;
  const std::string frame = "ST,GS,+  1.234kg\r\n";
  EXPECT_EQ(applyFault(frame, Fault::kNone, garbage), frame);
  EXPECT_EQ(applyFault(frame, Fault::kNak, garbage), frame);
  EXPECT_EQ(applyFault(frame, Fault::kShort, garbage), "ST,GS,+  1");
  EXPECT_EQ(applyFault(frame, Fault::kNoUnit, garbage), "ST,GS,+  1.234  \r\n");
  // Letters before the number are no units and stay.
  EXPECT_EQ(applyFault("GT 5 T", Fault::kNoUnit, garbage), "GT 5  ");
  const std::string noise = applyFault(frame, Fault::kGarbage, garbage);
  EXPECT_EQ(noise.size(), frame.size());
  EXPECT_EQ(noise.find_first_of("0123456789\r\n"), std::string::npos) << noise;
  EXPECT_NE(applyFault(frame, Fault::kGarbage, garbage), noise);
}

TEST(SimFrameSource, RawFramesCycle) {
  FrameSource source("", {"A\xC1", "B"});
  const ScaleState state;
  EXPECT_EQ(source.next(state), "A\xC1");
  EXPECT_EQ(source.next(state), "B");
  EXPECT_EQ(source.next(state), "A\xC1");
}

TEST(SimFrameSource, TemplateFramesFollowTheState) {
  FrameSource source(kDefaultTemplate, {});
  ScaleState state;
  state.frame.weight = 2.5;
  state.frame.stable = false;
  EXPECT_EQ(source.next(state), "US,GS,+  2.500kg\r\n");
  state.fault = Fault::kShort;
  EXPECT_EQ(source.next(state), "US,GS,+  2");
}

}  // namespace
}  // namespace scalecheck::sim
