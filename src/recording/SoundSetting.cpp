#include "recording/SoundSetting.h"

#include <string>

#include "platform/Platform.h"

namespace vistrel::SoundSetting {

const std::vector<Choice>& allCases() {
  static const std::vector<Choice> all{Choice::off, Choice::desktop, Choice::microphone, Choice::both};
  return all;
}

std::string_view rawValue(Choice choice) {
  switch (choice) {
    case Choice::off: return "off";
    case Choice::desktop: return "desktop";
    case Choice::microphone: return "microphone";
    case Choice::both: return "both";
  }
  return "off";
}

std::string_view title(Choice choice) {
  switch (choice) {
    case Choice::off: return "Off";
    case Choice::desktop: return "Desktop sound";
    case Choice::microphone: return "Microphone";
    case Choice::both: return "Both";
  }
  return "Off";
}

Choice current() {
  const auto stored = platform::current().defaults().string(kKey);
  for (const Choice choice : allCases()) {
    if (stored && *stored == rawValue(choice)) return choice;
  }
  return Choice::off;
}

void store(Choice choice) { platform::current().defaults().setString(kKey, std::string(rawValue(choice))); }

std::vector<platform::SoundSource> sources(Choice choice) {
  switch (choice) {
    case Choice::off: return {};
    case Choice::desktop: return {platform::SoundSource::desktop};
    case Choice::microphone: return {platform::SoundSource::microphone};
    case Choice::both: return {platform::SoundSource::desktop, platform::SoundSource::microphone};
  }
  return {};
}

}  // namespace vistrel::SoundSetting
