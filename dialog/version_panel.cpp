#include "dialog/version_panel.h"

#include "texts/version_text.h"

void VersionPanel::Refresh() {
  if (!link_.IsOpen()) {
    view_.ShowVersions({false, std::nullopt, L"0.0.0", L"0.0.0", L"0.0.0"});
    return;
  }
  VersionTexts texts = VersionTextsFor(link_.identity());
  view_.ShowVersions({true, std::move(texts.unitName), std::move(texts.unit),
                      std::move(texts.bootloader), std::move(texts.esc)});
}
