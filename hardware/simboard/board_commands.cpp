// The board tool's commands that belong to no one driver: the request log,
// failing requests, device presence and the list of devices.

#include <unistd.h>

#include <cstdlib>
#include <set>

#include "hardware/simboard/board.h"
#include "runtime/system/platform_path.h"

namespace SimBoard {

namespace {

char const help_text[] =
    "devices                                the device paths, present or absent, with their opens\n"
    "absent DEVICE | present DEVICE          remove or restore a device (hal, mcc/ctl, /dev/hal)\n"
    "log [DEVICE [REQUEST]] | log clear      the requests the server made, oldest first\n"
    "fail DEVICE REQUEST|open|read|write|* [ERRNO [COUNT]]\n"
    "                                        fail the next COUNT (default: every) such requests\n"
    "                                        with ERRNO (default EIO)\n"
    "fail clear                              fail nothing any more\n"
    "hangup DEVICE                           end every open of the device from the board's side\n";

// "hal" or "/dev/hal" -> "/dev/hal".
std::string path_of(std::string const& device) {
    return device.empty() || device[0] == '/' ? device : "/dev/" + device;
}

}  // namespace

void Board::global_command(Words const& words, std::ostream& out) {
    std::string const& verb = words[0];
    if (verb == "help") {
        out << help_text;
        for (auto const& model : models_) {
            Words const help{model->name(), "help"};
            model->command(help, out);
        }
    } else if (verb == "devices") {
        std::set<std::string> paths;
        for (auto const& model : models_) paths.insert(model->path());
        for (auto const& file : files_) paths.insert(file->path);
        for (std::string const& path : paths) {
            if (path.back() == '*') continue;
            bool const present = rooted_ && ::access(Platform::path(path).c_str(), F_OK) == 0;
            out << path << (present ? " present" : " absent") << ", opens "
                << opens(path.c_str()).size() << '\n';
        }
    } else if ((verb == "absent" || verb == "present") && words.size() == 2) {
        std::string const path = path_of(words[1]);
        if (!serves(path)) {
            out << "error: no device " << words[1] << '\n';
            return;
        }
        if (verb == "absent")
            remove_device_file(path);
        else
            make_device_file(path);
        out << path << ' ' << verb << '\n';
    } else if (verb == "hangup" && words.size() == 2 && serves(path_of(words[1]))) {
        for (OpenFile* file : opens(path_of(words[1]).c_str())) hangup(*file);
    } else if (verb == "log" && words.size() == 2 && words[1] == "clear") {
        log_.clear();
    } else if (verb == "log" && words.size() <= 3) {
        std::string device = words.size() > 1 ? words[1] : "";
        if (device.compare(0, 5, "/dev/") == 0) device.erase(0, 5);
        log_.print(out, device, words.size() > 2 ? words[2] : "");
    } else if (verb == "fail" && words.size() == 2 && words[1] == "clear") {
        faults_.clear();
    } else if (verb == "fail" && words.size() >= 3 && words.size() <= 5) {
        Fault fault{path_of(words[1]), words[2], EIO, -1};
        if (words.size() > 3) fault.error = ErrnoFromName(words[3]);
        if (words.size() > 4) fault.remaining = std::atoi(words[4].c_str());
        if (!serves(fault.path) || fault.error == 0 || fault.remaining == 0) {
            out << "error: fail wants a device, a request, an errno and a count above 0\n";
            return;
        }
        faults_.push_back(fault);
    } else {
        out << "error: unknown command \"" << words[0] << "\" (try help)\n";
    }
}

}  // namespace SimBoard
