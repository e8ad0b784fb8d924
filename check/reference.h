// velqa3-check --slots: the guide's page of panel and sound slots, printed from the table the
// plug-in's stages write by, so the page cannot say anything else than the plug-in does.
#pragma once

#include <string>
#include <string_view>

namespace velqa3::check {

enum class Language { English, Japanese };

// "en" or "ja"; false for anything else.
bool LanguageNamed(std::string_view name, Language& language);

// Appends the whole page, Markdown, exactly as docs/<en|ja>/panel-sound.md holds it.
void AppendSlotReference(Language language, std::string& out);

} // namespace velqa3::check
