#include "platform/linux/ModuleTextRecognizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include "platform/linux/ocr/OcrModule.h"

namespace vistrel::desktop {

ModuleTextRecognizer::ModuleTextRecognizer(std::string modulePath, int readers)
    : modulePath_(std::move(modulePath)), readers_(readers) {}

std::string ModuleTextRecognizer::defaultModulePath() {
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../lib/vistrel/" + ocr::kModuleFileName)
      .toStdString();
}

platform::TextRecognizer* ModuleTextRecognizer::recognizer(std::string& fault) {
  if (recognizer_) return recognizer_.get();
  QString path = QString::fromStdString(modulePath_);
  if (!QFileInfo::exists(path)) {
    fault = "Text recognition is not installed: " + modulePath_;
  } else {
    // Never unloaded: the recognizer's code lives in it.
    QLibrary module(path);
    using MakeRecognizer = decltype(&vistrel_ocr_make_recognizer);
    if (!module.load()) {
      fault = "Text recognition could not be loaded: " + module.errorString().toStdString();
    } else if (auto make = reinterpret_cast<MakeRecognizer>(module.resolve(ocr::kEntryPoint)); !make) {
      fault = "Text recognition could not be loaded: " + modulePath_ + " has no " + ocr::kEntryPoint;
    } else {
      recognizer_.reset(make(readers_));
      if (!recognizer_) fault = "Text recognition could not start.";
    }
  }
  if (!recognizer_) qWarning("vistrel: %s", fault.c_str());
  return recognizer_.get();
}

platform::RecognitionResult<std::string> ModuleTextRecognizer::recognizeText(const QImage& image) {
  std::string fault;
  auto* loaded = recognizer(fault);
  if (!loaded) return platform::RecognitionFault{fault};
  return loaded->recognizeText(image);
}

platform::RecognitionResult<std::vector<platform::DecodedCode>> ModuleTextRecognizer::decodeCodes(
    const QImage& image) {
  std::string fault;
  auto* loaded = recognizer(fault);
  if (!loaded) return platform::RecognitionFault{fault};
  return loaded->decodeCodes(image);
}

}  // namespace vistrel::desktop
