#include "traffic/screen_cell_map.h"

namespace kestrane {

void ScreenCellMap::clear()
{
    for (ScreenCell& c : cells_) {
        c.length = 0;
        c.kind = 0;
        c.text.fill(0);
    }
    used_.fill(0);
    fastX = display::kFirstCellX;
    fastY = 0;
    fastCell = 0;
    fastLine = 0;
}

void ScreenCellMap::clearFrom(int line, int from)
{
    int& u = used_[static_cast<std::size_t>(line)];
    for (int c = std::max(0, from); c < u; ++c) {
        ScreenCell& cell = cells_[offset(line, c)];
        cell.length = 0;
        cell.kind = 0;
    }
    u = std::min(u, std::max(0, from));
}

} // namespace kestrane
