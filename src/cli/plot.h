#pragma once

#include <string>

namespace harlox {
class DiagramModel;
class TXover;
}

namespace harlox::cli {

// True when this harlox-cli was built with the diagram painter (Qt).
[[nodiscard]] bool plottingAvailable();

// Draws the diagram into a PNG or SVG file (chosen by the extension of path) of width x height
// pixels, with the painter of the desktop program. Without a Qt application object one is
// started on the offscreen platform. False with the reason in error.
[[nodiscard]] bool renderDiagramToFile(const DiagramModel& model, const std::string& path, int width,
                                       int height, std::string& error);

// The pictures of a filter project that draw more than a diagram model holds: the off-axis
// surface map, the overlaid rays (flipped as the project says), and the schematic of a simple
// project (net -1) or of advanced net `net`.
enum class FilterPicture { Surface, Overlay, Schematic };
[[nodiscard]] bool renderFilterPictureToFile(TXover& project, FilterPicture what, int net, const std::string& path,
                                             int width, int height, std::string& error);

} // namespace harlox::cli
