// The About and Help boxes: the banner and a few lines under the
// program's icon. The information box itself is the platform layer's.
#include <windows.h>

#include <string>

#include "app_texts.h"
#include "main_window.h"
#include "resource_ids.h"
#include "string_table.h"

namespace {

// The boxes are laid out for texts of at most 499 and 299 characters with
// the banner.
constexpr size_t kAboutLimit = 499;
constexpr size_t kHelpLimit = 299;
static_assert(sizeof(TEXT_BANNER) - 1 + sizeof(TEXT_ABOUT_LINES) - 1 <= kAboutLimit, "About text too long");
static_assert(sizeof(TEXT_BANNER) - 1 + sizeof(TEXT_HELP_LINES) - 1 <= kHelpLimit, "Help text too long");

int ShowBannerBox(HWND owner, HINSTANCE instance, const std::string& text, const char* caption) {
  MSGBOXPARAMSA params = {};
  params.cbSize = sizeof params;
  params.hwndOwner = owner;
  params.hInstance = instance;
  params.lpszText = text.c_str();
  params.lpszCaption = caption;
  params.dwStyle = MB_USERICON | MB_OK;
  params.lpszIcon = MAKEINTRESOURCEA(IDI_APP);
  MessageBoxIndirectA(&params);
  return 1;
}

}  // namespace

std::string AboutBoxText(HINSTANCE instance) { return LoadStringText(instance, IDS_BANNER) + TEXT_ABOUT_LINES; }

std::string HelpBoxText(HINSTANCE instance) { return LoadStringText(instance, IDS_BANNER) + TEXT_HELP_LINES; }

int ShowAboutBox(HWND owner, HINSTANCE instance) {
  return ShowBannerBox(owner, instance, AboutBoxText(instance), TEXT_ABOUT_CAPTION);
}

int ShowHelpBox(HWND owner, HINSTANCE instance) {
  return ShowBannerBox(owner, instance, HelpBoxText(instance), TEXT_HELP_CAPTION);
}
