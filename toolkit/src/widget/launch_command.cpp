#include <toolkit/text/text_file.h>
#include <toolkit/widget/launch_command.h>

#include <ce/core/utf.h>
#include <ce/windows.h>

#include <memory>

namespace {

std::u16string_view trimmedFront(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
    text.remove_prefix(1);
  return text;
}

std::u16string_view trimmedBack(std::u16string_view text) {
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\r' ||
                           text.back() == u'\n'))
    text.remove_suffix(1);
  return text;
}

bool mentionsShortcut(const std::u16string &path) {
  return ce::foldCase(path).find(u".lnk") != std::u16string::npos;
}

DWORD launchThread(LPVOID parameter) {
  const std::unique_ptr<LaunchCommand> command(static_cast<LaunchCommand *>(parameter));
  command->run();
  return 0;
}

} // namespace

LaunchCommand LaunchCommand::fromTarget(std::u16string_view target) {
  target = trimmedBack(trimmedFront(target));
  if (!target.empty() && target.front() == u'"') {
    target.remove_prefix(1);
    const std::size_t closing = target.find(u'"');
    if (closing == std::u16string_view::npos)
      return {std::u16string(target), {}};
    return {std::u16string(target.substr(0, closing)),
            std::u16string(trimmedFront(target.substr(closing + 1)))};
  }
  const std::size_t exe = ce::foldCase(target).find(u".exe");
  if (exe == std::u16string::npos)
    return {std::u16string(target), {}};
  return {std::u16string(target.substr(0, exe + 4)),
          std::u16string(trimmedFront(target.substr(exe + 4)))};
}

LaunchCommand LaunchCommand::forItem(const std::u16string &itemPath, const std::u16string &target) {
  if (mentionsShortcut(itemPath)) {
    const std::u16string text = shortcutTargetText(itemPath);
    return text.empty() ? LaunchCommand{itemPath, {}} : fromTarget(text);
  }
  if (!trimmedFront(target).empty())
    return fromTarget(target);
  return {itemPath, {}};
}

bool LaunchCommand::run() const {
  SHELLEXECUTEINFO request{};
  request.cbSize = SHELLEXECUTEINFO_DEVICE_SIZE;
  request.lpVerb = u"open";
  request.lpFile = program.c_str();
  request.lpParameters = arguments.c_str();
  request.nShow = SW_SHOWNORMAL;
  return ShellExecuteEx(&request) != FALSE;
}

bool LaunchCommand::startInBackground() const {
  auto *copy = new LaunchCommand(*this);
  HANDLE thread = CreateThread(nullptr, 0, &launchThread, copy, 0, nullptr);
  if (!thread) {
    delete copy;
    return false;
  }
  CloseHandle(thread);
  return true;
}

std::u16string shortcutTargetText(const std::u16string &shortcutPath) {
  TextFile file;
  if (openTextFile(file, shortcutPath) != 0)
    return {};
  TextLine line;
  const bool read = file.reader && file.reader->readLine(line, CP_ACP) == 0;
  std::u16string text = read ? std::u16string(line.view()) : std::u16string();
  closeTextFile(file);
  const std::size_t hash = text.find(u'#');
  if (hash == std::u16string::npos)
    return {};
  std::u16string_view target = std::u16string_view(text).substr(hash + 1);
  if (const std::size_t mark = target.find(u'?'); mark != std::u16string_view::npos)
    target = target.substr(0, mark);
  target = trimmedBack(target);
  if (!target.empty() && target.back() == u'"' && target.find(u'"') == target.size() - 1)
    target.remove_suffix(1);
  return std::u16string(trimmedBack(target));
}
