#include "input_commands.h"

#include "argument_parser.h"

#include "../../src/client/host_connection.h"
#include "../../src/protocol/screen_messages.h"
#include "../../src/screen/key_names.h"
#include "../../src/screen/key_script.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/kernel.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace ce::tool {
namespace {

std::optional<std::int32_t> coordinate(const std::string &text) {
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < -32768 || value > 32768)
    return std::nullopt;
  return value;
}

std::optional<std::uint32_t> count(const std::optional<std::string> &text, std::uint32_t fallback,
                                   std::uint32_t lowest, std::uint32_t highest) {
  if (!text)
    return fallback;
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || end != text->data() + text->size() || value < lowest || value > highest)
    return std::nullopt;
  return value;
}

std::optional<std::string> positionalAt(const ArgumentParser::Parsed &parsed, std::size_t index) {
  if (index < parsed.positionals.size())
    return parsed.positionals[index];
  return std::nullopt;
}

std::vector<TimedInput> atOnce(const std::vector<InputEvent> &events) {
  std::vector<TimedInput> timed;
  for (const InputEvent &event : events)
    timed.push_back(TimedInput{0, event});
  return timed;
}

} // namespace

std::string InputCommands::usage(std::string_view verb) {
  if (verb == "tap")
    return "usage: device --device DIR tap X Y\n"
           "\n"
           "Touches the screen with the stylus at X,Y (screen pixels) and lifts it.\n";
  if (verb == "hold")
    return "usage: device --device DIR hold X Y [MS]\n"
           "\n"
           "Presses the stylus at X,Y for MS milliseconds (default 1000, at most 60000).\n";
  if (verb == "drag")
    return "usage: device --device DIR drag X1 Y1 X2 Y2 [MS] [STEPS]\n"
           "\n"
           "Presses the stylus at X1,Y1, moves it to X2,Y2 in STEPS moves (default 10, 1 to\n"
           "1000) over MS milliseconds (default 300, at most 60000) and lifts it there.\n";
  if (verb == "key")
    return "usage: device --device DIR key NAME [down|up]\n"
           "\n"
           "Presses and releases a key, or only presses (down) or releases (up) it. Names:\n"
           "LWIN, ENTER, ESC, LEFT, RIGHT, UP, DOWN, BACK, SPACE, TAB, a letter, a digit, or a\n"
           "code 0xNN.\n";
  if (verb == "type")
    return "usage: device --device DIR type TEXT\n"
           "\n"
           "Types TEXT on the device's keyboard (at most 4096 characters).\n";
  return "usage: device --device DIR rotate\n"
         "\n"
         "Turns the device: the screen's width and height swap.\n";
}

Outcome InputCommands::run(std::string_view verb, std::span<const std::string> args,
                           const ToolContext &context) {
  if (verb == "tap")
    return tap(args, context);
  if (verb == "hold")
    return hold(args, context);
  if (verb == "drag")
    return drag(args, context);
  if (verb == "key")
    return key(args, context);
  if (verb == "type")
    return type(args, context);
  return rotate(args, context);
}

Outcome InputCommands::play(std::string_view verb, const std::vector<TimedInput> &events) {
  const std::string name = "device " + std::string(verb);
  auto &connection = HostConnection::instance();
  // Long texts go in several requests; the host plays them in order, and each is waited for.
  constexpr std::size_t kChunk = 4096;
  for (std::size_t first = 0; first < events.size(); first += kChunk) {
    const std::size_t last = std::min(events.size(), first + kChunk);
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
      return Outcome::failed(name + ": cannot make a pipe");
    protocol::PlayInputRequest request;
    for (std::size_t i = first; i < last; ++i) {
      const InputEvent &e = events[i].event;
      request.events.push_back({events[i].atMilliseconds, static_cast<std::uint32_t>(e.kind), e.x,
                                e.y, e.key, e.character});
    }
    request.done = protocol::Descriptor(protocol::UniqueFd(pipe[1]));
    const auto played = connection.request(request);
    request.done = {}; // the host holds its own copy of the write end
    if (!played) {
      ::close(pipe[0]);
      if (ToolContext::unreachable(played.error()))
        return ToolContext::hostFailed(verb);
      return Outcome::fromPlatformError(played.error(), name);
    }
    // The host writes one byte once the last event has been handed over, then closes its end;
    // an end without the byte is a gesture cut short (the host stopped or died). The wait lasts
    // the gesture's own time plus the answer limit.
    const int limit = connection.answerLimit();
    const long long allowed =
        static_cast<long long>(events[last - 1].atMilliseconds) + (limit > 0 ? limit : 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(allowed);
    char byte = 0;
    ssize_t got = -1;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      pollfd ready{pipe[0], POLLIN, 0};
      const int polled =
          ::poll(&ready, 1, limit > 0 ? static_cast<int>(std::max<long long>(left, 0)) : -1);
      if (polled < 0 && errno == EINTR)
        continue;
      if (polled <= 0)
        break;
      got = ::read(pipe[0], &byte, 1);
      if (got < 0 && errno == EINTR)
        continue;
      break;
    }
    ::close(pipe[0]);
    if (got < 0) {
      SetLastError(ERROR_TIMEOUT);
      return ToolContext::hostFailed(verb);
    }
    if (got == 0)
      return Outcome::failed(name + ": the host ended before the input was played");
  }
  return Outcome::success();
}

Outcome InputCommands::tap(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed =
      context.parse(ArgumentParser("device tap").positional("X").positional("Y"), args, &stop);
  if (!parsed)
    return stop;
  const auto x = coordinate(parsed->positionals[0]), y = coordinate(parsed->positionals[1]);
  if (!x || !y)
    return Outcome::refused("device tap: X and Y are whole numbers from -32768 to 32768");
  if (auto outcome = context.useRunningDevice("tap"); !outcome.ok())
    return outcome;
  return play("tap", StylusGesture::tap(*x, *y));
}

Outcome InputCommands::hold(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(
      ArgumentParser("device hold").positional("X").positional("Y").optionalPositional("MS"), args,
      &stop);
  if (!parsed)
    return stop;
  const auto x = coordinate(parsed->positionals[0]), y = coordinate(parsed->positionals[1]);
  if (!x || !y)
    return Outcome::refused("device hold: X and Y are whole numbers from -32768 to 32768");
  const auto ms = count(positionalAt(*parsed, 2), StylusGesture::kDefaultHold, 0,
                        StylusGesture::kMaximumDuration);
  const auto events = ms ? StylusGesture::hold(*x, *y, *ms) : std::nullopt;
  if (!events)
    return Outcome::refused("device hold: MS is a whole number from 0 to 60000");
  if (auto outcome = context.useRunningDevice("hold"); !outcome.ok())
    return outcome;
  return play("hold", *events);
}

Outcome InputCommands::drag(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(ArgumentParser("device drag")
                                  .positional("X1")
                                  .positional("Y1")
                                  .positional("X2")
                                  .positional("Y2")
                                  .optionalPositional("MS")
                                  .optionalPositional("STEPS"),
                              args, &stop);
  if (!parsed)
    return stop;
  std::int32_t points[4] = {};
  for (int i = 0; i < 4; ++i) {
    const auto value = coordinate(parsed->positionals[static_cast<std::size_t>(i)]);
    if (!value)
      return Outcome::refused("device drag: coordinates are whole numbers from -32768 to 32768");
    points[i] = *value;
  }
  const auto ms = count(positionalAt(*parsed, 4), StylusGesture::kDefaultDragDuration, 0,
                        StylusGesture::kMaximumDuration);
  const auto steps = count(positionalAt(*parsed, 5), StylusGesture::kDefaultDragSteps, 1,
                           StylusGesture::kMaximumSteps);
  if (!ms)
    return Outcome::refused("device drag: MS is a whole number from 0 to 60000");
  if (!steps)
    return Outcome::refused("device drag: STEPS is a whole number from 1 to 1000");
  const auto events = StylusGesture::drag(points[0], points[1], points[2], points[3], *ms, *steps);
  if (!events)
    return Outcome::refused("device drag: the gesture is out of range");
  if (auto outcome = context.useRunningDevice("drag"); !outcome.ok())
    return outcome;
  return play("drag", *events);
}

Outcome InputCommands::key(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(
      ArgumentParser("device key").positional("NAME").optionalPositional("DIRECTION"), args, &stop);
  if (!parsed)
    return stop;
  const auto code = KeyNames::parse(parsed->positionals[0]);
  if (!code)
    return Outcome::refused("device key: unknown key name '" + parsed->positionals[0] + "'");
  KeyDirection direction = KeyDirection::DownAndUp;
  if (const auto word = positionalAt(*parsed, 1)) {
    if (*word == "down")
      direction = KeyDirection::Down;
    else if (*word == "up")
      direction = KeyDirection::Up;
    else
      return Outcome::refused("device key: the direction is 'down' or 'up'");
  }
  if (auto outcome = context.useRunningDevice("key"); !outcome.ok())
    return outcome;
  return play("key", atOnce(KeyScript::press(*code, direction)));
}

Outcome InputCommands::type(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(ArgumentParser("device type").positional("TEXT"), args, &stop);
  if (!parsed)
    return stop;
  const std::u16string text = toUtf16(parsed->positionals[0]);
  if (text.size() > KeyScript::kMaximumText)
    return Outcome::refused("device type: the text is longer than 4096 characters");
  const auto events = atOnce(KeyScript::type(text));
  if (auto outcome = context.useRunningDevice("type"); !outcome.ok())
    return outcome;
  return play("type", events);
}

Outcome InputCommands::rotate(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(ArgumentParser("device rotate"), args, &stop);
  if (!parsed)
    return stop;
  if (auto outcome = context.useRunningDevice("rotate"); !outcome.ok())
    return outcome;
  return play("rotate", {TimedInput{0, InputEvent::request(InputKind::Rotate)}});
}

} // namespace ce::tool
