// One run of the burner.
#include "tools/burn/burnjob.h"

#include "tools/burn/burnsettings.h"
#include "tools/burn/discwriter.h"
#include "tools/burn/drivelist.h"
#include "tools/burn/imagefilewriter.h"
#include "tools/burn/udfimage.h"
#include "tools/burn/volumelabel.h"
#include "tools/common/toolconsole.h"

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

bool WriteToDevice(const udf::TUdfImage &image, const TBurnSwitches &s, const std::string &settingsPath,
                   TConsole &console)
{
    std::string address = s.Dest.empty() ? ReadSettingsDestination(settingsPath) : s.Dest;
    TDiscWriter writer(console);
    if (!writer.Open(address))
        return false;
    console.Note("Destination: " + writer.Address());
    if (!writer.WaitForBlank(s.WaitForMedia) || !writer.CheckRoom(image.Size()) || !writer.Write(image)
        || (s.Verify && !writer.Verify(image)))
        return false;
    writer.Release(s.Eject);
    return true;
}

// Where each piece of the image lies, in sectors: the files by their
// source, and the file system's own structures.
void ReportExtents(const udf::TUdfImage &image, TConsole &console)
{
    if (!console.Debugging())
        return;
    for (const udf::TUdfImage::TPiece &piece : image.Pieces())
        console.Debug("sectors " + std::to_string(piece.Sector) + "+"
                      + std::to_string(piece.Length / udf::kBlockSize) + ": "
                      + (piece.File
                             ? piece.File->SourcePath + " (" + std::to_string(piece.File->Size) + " bytes)"
                             : std::string("file system structures")));
    console.Debug("image of " + std::to_string(image.Sectors()) + " sectors");
}

}  // namespace

std::optional<TBurnSwitches> ReadBurnLine(const std::vector<std::string> &args, TConsole &console)
{
    std::vector<std::string> errors;
    TBurnSwitches s = ParseBurnSwitches(args, errors);
    if (errors.empty())
        return s;
    for (const std::string &e : errors)
        console.Error(e);
    console.Usage(BurnUsage());
    return std::nullopt;
}

void RunBurn(const TBurnSwitches &s, const std::string &settingsPath, TConsole &console)
{
    if (s.ListDrives)
        return ListDrives(console);
    if (s.Output == TOutputMode::ImageFile && s.Dest.empty())
        return console.Error("/BUILDOUTPUTMODE IMAGEFILE needs the image file path in /DEST.");

    TVolumeLabel label = MakeVolumeLabel(s.VolumeLabel.value_or(LastComponent(s.Sources.front())));
    for (const std::string &note : label.Notes)
        console.Warning(note);
    console.Note("Volume label: " + udf::Ucs2ToUtf8(label.Text));

    udf::TUdfImage image;
    std::string error;
    if (!image.Build(s.Sources, label.Text, error))
        return console.Error(error);
    const udf::TTreeCounts &counts = image.Counts();
    console.Note("UDF 2.50 file system: " + std::to_string(counts.Files) + " files, "
                 + std::to_string(counts.Directories - 1) + " folders, " + std::to_string(counts.Bytes)
                 + " bytes of files, image of " + std::to_string(image.Size()) + " bytes");
    ReportExtents(image, console);

    // A source that cannot be read is found now rather than halfway
    // through a disc, which a write-once medium would not survive.
    if (udf::TUdfImageReader sources(image); !sources.CheckSources())
        return console.Error(sources.Error() + " Nothing was written.");
    const bool written = s.Output == TOutputMode::ImageFile
                             ? WriteImageFile(image, ImageFilePath(s.Dest), s.Verify, console)
                             : WriteToDevice(image, s, settingsPath, console);
    if (written)
        console.Note("Done.");
}
