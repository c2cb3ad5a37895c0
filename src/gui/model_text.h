#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace harlox {

// Texts in the models are bytes: UTF-8 when this program wrote them, Windows-1252/Latin-1
// in files from older tools. Invalid UTF-8 is therefore read as Latin-1.
QString fromModelText(std::string_view text);
// UTF-8, cut at a character boundary so that it fits maxBytes.
std::string toModelText(const QString& text, std::size_t maxBytes);

} // namespace harlox
