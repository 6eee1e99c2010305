#include <service_setup/ostrel_action.h>

OstrelAction ostrelActionFor(std::u16string_view commandLine) {
  const auto has = [&](std::u16string_view word) {
    return commandLine.find(word) != std::u16string_view::npos;
  };
  if (has(u"uninst"))
    return OstrelAction::Remove;
  if (has(u"startBack"))
    return OstrelAction::RestoreLayout;
  if (has(u"startRemove"))
    return OstrelAction::SwitchOffLayout;
  return OstrelAction::Register;
}
