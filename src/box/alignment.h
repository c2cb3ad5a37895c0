#pragma once

// Table lookups and quick alignments of the box projects (filled in by the alignment work).

namespace harlox {} // namespace harlox
