// The Menu Manager: the menu bar's highlight. Menu IDs are the menus' positions in the menu bar,
// counting from 1.
#include <Carbon/Carbon.h>
#include <macsim/WindowServer.h>

using namespace macsim;

extern "C" {

void HiliteMenu(MenuID menu) {
    WindowServer& server = WindowServer::shared();
    if (menu < 0 || static_cast<std::size_t>(menu) > server.menuBar().size())
        return;
    server.hiliteMenu(menu);
}

} // extern "C"
