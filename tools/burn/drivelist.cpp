// Listing the optical drives.
#include "tools/burn/drivelist.h"

#include <libburn/libburn.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "tools/common/toolconsole.h"

using namespace burn;

namespace {

std::string Trimmed(const char *text, size_t size)
{
    std::string s(text, strnlen(text, size));
    size_t begin = s.find_first_not_of(' ');
    if (begin == std::string::npos)
        return "";
    return s.substr(begin, s.find_last_not_of(' ') - begin + 1);
}

const char *MediumWord(burn_disc_status status)
{
    switch (status) {
    case BURN_DISC_BLANK: return "blank";
    case BURN_DISC_APPENDABLE:
    case BURN_DISC_FULL: return "written";
    case BURN_DISC_EMPTY: return "empty";
    case BURN_DISC_UNSUITABLE: return "unusable";
    default: return "unknown";
    }
}

// What the drive holds. The drive is grabbed without loading its tray: a
// list must not close an open tray. A drive another program holds is
// "unknown".
const char *Medium(burn_drive *drive)
{
    if (burn_drive_grab(drive, 0) != 1)
        return "unknown";
    const char *word = MediumWord(burn_disc_get_status(drive));
    burn_drive_release(drive, 0);
    return word;
}

std::string DriveLine(const std::string &address, const std::string &vendor, const std::string &product,
                      const std::string &medium)
{
    std::string model = vendor;
    if (!model.empty() && !product.empty())
        model += ' ';
    return address + '\t' + model + product + '\t' + medium;
}

}  // namespace

void ListDrives(TConsole &console)
{
    if (!burn_initialize())
        return console.Error("The disc writing library cannot start.");
    burn_msgs_set_severities(const_cast<char *>("NEVER"), const_cast<char *>("SORRY"),
                             const_cast<char *>("imgburn: "));
    burn_drive_info *found = nullptr;
    unsigned int count = 0;
    while (!burn_drive_scan(&found, &count))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (unsigned int i = 0; i < count; ++i) {
        char address[BURN_DRIVE_ADR_LEN];
        if (burn_drive_get_adr(&found[i], address) <= 0)
            continue;
        console.Note(DriveLine(address, Trimmed(found[i].vendor, sizeof found[i].vendor),
                               Trimmed(found[i].product, sizeof found[i].product), Medium(found[i].drive)));
    }
    burn_drive_info_free(found);
    burn_finish();
}
