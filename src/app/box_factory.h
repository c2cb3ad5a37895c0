#pragma once

#include <memory>

namespace harlox {

class TBoxEmbryo;
class UiHost;

// The box project of a project type code (0 to 9); null for any other code.
[[nodiscard]] std::unique_ptr<TBoxEmbryo> makeBoxProject(int code, UiHost& ui);

} // namespace harlox
