#include "verb_table.h"

#include "create_command.h"
#include "file_commands.h"
#include "host_commands.h"
#include "input_commands.h"
#include "package_commands.h"
#include "process_commands.h"
#include "reg_command.h"
#include "screen_commands.h"
#include "sync_command.h"
#include "window_commands.h"

namespace ce::tool {
namespace {

template <class T> std::unique_ptr<Command> make() { return std::make_unique<T>(); }

const VerbEntry kVerbs[] = {
    {"create", "make a new device root", &CreateCommand::usage, &make<CreateCommand>},
    {"reg", "query, add and delete registry keys and values", &RegCommand::usage,
     &make<RegCommand>},
    {"push", "copy a host file into the device", &FileCommands::usage, &make<FileCommands>},
    {"pull", "copy a device file out to the host", &FileCommands::usage, &make<FileCommands>},
    {"ls", "list a device folder or the files matching a pattern", &FileCommands::usage,
     &make<FileCommands>},
    {"rm", "remove a device file, an empty folder, or a tree with -r", &FileCommands::usage,
     &make<FileCommands>},
    {"boot", "start the device's host in the background", &HostCommands::usage,
     &make<HostCommands>},
    {"shutdown", "end every device program and the host", &HostCommands::usage,
     &make<HostCommands>},
    {"status", "tell whether the device's host runs", &HostCommands::usage, &make<HostCommands>},
    {"ps", "list the device's processes", &ProcessCommands::usage, &make<ProcessCommands>},
    {"run", "start a device program, shortcut or applet", &ProcessCommands::usage,
     &make<ProcessCommands>},
    {"screenshot", "write the device's screen to a PNG file", &ScreenCommands::usage,
     &make<ScreenCommands>},
    {"tap", "touch the screen with the stylus", &InputCommands::usage, &make<InputCommands>},
    {"hold", "press the stylus on the screen for a while", &InputCommands::usage,
     &make<InputCommands>},
    {"drag", "drag the stylus across the screen", &InputCommands::usage, &make<InputCommands>},
    {"key", "press or release one of the device's keys", &InputCommands::usage,
     &make<InputCommands>},
    {"type", "type text on the device's keyboard", &InputCommands::usage, &make<InputCommands>},
    {"rotate", "turn the device: the screen's width and height swap", &InputCommands::usage,
     &make<InputCommands>},
    {"windows", "list the device's windows", &WindowCommands::usage, &make<WindowCommands>},
    {"wait-window", "wait until a window of a class shows", &WindowCommands::usage,
     &make<WindowCommands>},
    {"sync", "wait until the device has handled its input and painted", &SyncCommand::usage,
     &make<SyncCommand>},
    {"install", "install a package folder on the device", &PackageCommands::usage,
     &make<PackageCommands>},
    {"uninstall", "remove an installed package from the device", &PackageCommands::usage,
     &make<PackageCommands>},
};

} // namespace

std::span<const VerbEntry> verbTable() { return kVerbs; }

const VerbEntry *findVerb(std::string_view name) {
  for (const auto &entry : kVerbs)
    if (name == entry.name)
      return &entry;
  return nullptr;
}

} // namespace ce::tool
