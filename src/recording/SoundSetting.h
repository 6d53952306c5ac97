#pragma once
// "Record sound": which sources of the sound server a recording takes.
// Stored as its raw value; anything else reads as off. Main thread.

#include <string_view>
#include <vector>

#include "platform/SoundCapture.h"

namespace vistrel::SoundSetting {

inline constexpr const char* kKey = "vistrel.recording.sound";

enum class Choice { off, desktop, microphone, both };

const std::vector<Choice>& allCases();
std::string_view rawValue(Choice choice);  // "off", "desktop", "microphone", "both"
std::string_view title(Choice choice);     // "Off", "Desktop sound", "Microphone", "Both"
Choice current();
void store(Choice choice);
std::vector<platform::SoundSource> sources(Choice choice);

}  // namespace vistrel::SoundSetting
