#pragma once

namespace harlox {} // namespace harlox
