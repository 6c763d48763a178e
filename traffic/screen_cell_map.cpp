#include "traffic/screen_cell_map.h"

namespace kestrane {

void ScreenCellMap::clear()
{
    for (ScreenCell& c : cells_) {
        c.length = 0;
        c.kind = 0;
        c.text.fill(0);
    }
    fastX = display::kFirstCellX;
    fastY = 0;
    fastCell = 0;
    fastLine = 0;
}

} // namespace kestrane
