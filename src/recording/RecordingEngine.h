#pragma once
// Screen recordings: the one running session and whether there is one. The
// menu, the status icon and the dispatcher ask it; main thread only.

namespace vistrel {

class RecordingEngine {
 public:
  static RecordingEngine& shared();

  // True while a recording session runs: the status icon shows the recording
  // image and a plain click on it stops the recording.
  bool isRecording() const { return recording_; }
  // Test-only: the recording state without a session.
  void setRecordingForTesting(bool recording) { recording_ = recording; }

 private:
  RecordingEngine() = default;
  bool recording_ = false;
};

}  // namespace vistrel
