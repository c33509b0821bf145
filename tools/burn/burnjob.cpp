// One run of the burner.
#include "tools/burn/burnjob.h"

#include <ostream>

#include "tools/burn/burnsettings.h"
#include "tools/burn/burnswitches.h"
#include "tools/burn/discwriter.h"
#include "tools/burn/drivelist.h"
#include "tools/burn/imagefilewriter.h"
#include "tools/burn/udfimage.h"
#include "tools/burn/volumelabel.h"

namespace {

const char StdioPrefix[] = "stdio:";

std::string LastComponent(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path.substr(path.rfind('/') + 1);
}

// Where the image file goes: /DEST, taken as a path even when written
// with the "stdio:" prefix of the device mode.
std::string ImageFilePath(const std::string &dest)
{
    return dest.rfind(StdioPrefix, 0) == 0 ? dest.substr(sizeof StdioPrefix - 1) : dest;
}

TBurnExit WriteToDevice(const udf::TUdfImage &image, const TBurnSwitches &s, const std::string &settingsPath,
                        std::ostream &out, std::ostream &err)
{
    std::string address = s.Dest.empty() ? ReadSettingsDestination(settingsPath) : s.Dest;
    TDiscWriter writer(out, err);
    if (!writer.Open(address))
        return BurnFailed;
    out << "Destination: " << writer.Address() << std::endl;
    if (!writer.WaitForBlank(s.WaitForMedia))
        return BurnFailed;
    if (!writer.CheckRoom(image.Size()))
        return BurnNoRoom;
    if (!writer.Write(image) || (s.Verify && !writer.Verify(image)))
        return BurnFailed;
    writer.Release(s.Eject);
    return BurnDone;
}

}  // namespace

int RunBurn(const std::vector<std::string> &args, const std::string &settingsPath, std::ostream &out,
            std::ostream &err)
{
    std::vector<std::string> errors;
    TBurnSwitches s = ParseBurnSwitches(args, errors);
    if (!errors.empty()) {
        for (const std::string &e : errors)
            err << e << "\n";
        err << BurnUsage();
        return BurnFailed;
    }
    if (s.ListDrives)
        return ListDrives(out, err);
    if (s.Output == TOutputMode::ImageFile && s.Dest.empty()) {
        err << "/BUILDOUTPUTMODE IMAGEFILE needs the image file path in /DEST.\n";
        return BurnFailed;
    }

    TVolumeLabel label = MakeVolumeLabel(s.VolumeLabel.value_or(LastComponent(s.Sources.front())));
    for (const std::string &note : label.Notes)
        out << note << "\n";
    out << "Volume label: " << udf::Ucs2ToUtf8(label.Text) << "\n";

    udf::TUdfImage image;
    std::string error;
    if (!image.Build(s.Sources, label.Text, error)) {
        err << error << "\n";
        return BurnFailed;
    }
    const udf::TTreeCounts &counts = image.Counts();
    out << "UDF 2.50 file system: " << counts.Files << " files, " << counts.Directories - 1 << " folders, "
        << counts.Bytes << " bytes of files, image of " << image.Size() << " bytes" << std::endl;

    // A source that cannot be read is found now rather than halfway
    // through a disc, which a write-once medium would not survive.
    if (udf::TUdfImageReader sources(image); !sources.CheckSources()) {
        err << sources.Error() << " Nothing was written.\n";
        return BurnFailed;
    }
    const TBurnExit written = s.Output == TOutputMode::ImageFile
                                  ? WriteImageFile(image, ImageFilePath(s.Dest), s.Verify, out, err)
                                  : WriteToDevice(image, s, settingsPath, out, err);
    if (written != BurnDone)
        return written;
    out << "Done." << std::endl;
    return label.Notes.empty() ? BurnDone : BurnDoneWithNotes;
}
