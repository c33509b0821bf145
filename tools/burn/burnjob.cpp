// One run of the burner.
#include "burnjob.h"

#include <ostream>

#include "burnsettings.h"
#include "burnswitches.h"
#include "discwriter.h"
#include "imagefilewriter.h"
#include "udfimage.h"
#include "volumelabel.h"

namespace {

const char StdioPrefix[] = "stdio:";

std::string LastComponent(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path.substr(path.rfind('/') + 1);
}

// Where the image file goes: /DEST, taken as a path even when written
// with the "stdio:" prefix of the device mode.
std::string ImageFilePath(const std::string& dest) {
  return dest.rfind(StdioPrefix, 0) == 0 ? dest.substr(sizeof StdioPrefix - 1) : dest;
}

bool WriteToDevice(const udf::TUdfImage& image, const TBurnSwitches& s, const std::string& settingsPath,
                   std::ostream& out, std::ostream& err) {
  std::string address = s.dest.empty() ? ReadSettingsDestination(settingsPath) : s.dest;
  TDiscWriter writer(out, err);
  if (!writer.Open(address)) return false;
  out << "Destination: " << writer.Address() << std::endl;
  if (!writer.WaitForBlank(s.waitForMedia) || !writer.CheckRoom(image.Size()) || !writer.Write(image))
    return false;
  if (s.verify && !writer.Verify(image)) return false;
  writer.Release(s.eject);
  return true;
}

}  // namespace

int RunBurn(const std::vector<std::string>& args, const std::string& settingsPath, std::ostream& out,
            std::ostream& err) {
  std::vector<std::string> errors;
  TBurnSwitches s = ParseBurnSwitches(args, errors);
  if (!errors.empty()) {
    for (const std::string& e : errors) err << e << "\n";
    err << BurnUsage();
    return BurnFailed;
  }
  if (s.output == TOutputMode::ImageFile && s.dest.empty()) {
    err << "/BUILDOUTPUTMODE IMAGEFILE needs the image file path in /DEST.\n";
    return BurnFailed;
  }

  TVolumeLabel label = MakeVolumeLabel(s.volumeLabel.value_or(LastComponent(s.sources.front())));
  for (const std::string& note : label.notes) out << note << "\n";
  out << "Volume label: " << udf::Ucs2ToUtf8(label.text) << "\n";

  udf::TUdfImage image;
  std::string error;
  if (!image.Build(s.sources, label.text, error)) {
    err << error << "\n";
    return BurnFailed;
  }
  const udf::TTreeCounts& counts = image.Counts();
  out << "UDF 2.50 file system: " << counts.files << " files, " << counts.directories - 1 << " folders, "
      << counts.bytes << " bytes of files, image of " << image.Size() << " bytes" << std::endl;

  bool ok = s.output == TOutputMode::ImageFile
                ? WriteImageFile(image, ImageFilePath(s.dest), s.verify, out, err)
                : WriteToDevice(image, s, settingsPath, out, err);
  if (!ok) return BurnFailed;
  out << "Done." << std::endl;
  return label.notes.empty() ? BurnDone : BurnDoneWithNotes;
}
