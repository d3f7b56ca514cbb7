#include "platform/linux/XPanelPlacement.h"

#include <QGuiApplication>
#include <QWindow>

#include "platform/linux/XConnection.h"

namespace {

xcb_connection_t* qtConnection()
{
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// The X screen number of the display name (":0.1" is screen 1); 0 when it names none.
int xScreenNumber()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    const qsizetype dot = display.lastIndexOf(QLatin1Char('.'));
    return dot > display.lastIndexOf(QLatin1Char(':')) ? display.mid(dot + 1).toInt() : 0;
}

// XCB_NONE when the server has never heard of the name (nobody announced it).
xcb_atom_t existingAtom(xcb_connection_t* connection, const QByteArray& name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, name.size(), name.constData()), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

bool compositorRuns(xcb_connection_t* connection)
{
    const xcb_atom_t selection = existingAtom(connection, "_NET_WM_CM_S" + QByteArray::number(xScreenNumber()));
    if (selection == XCB_NONE)
        return false;
    const XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr));
    return owner && owner->owner != XCB_NONE;
}

// KWin's blur effect, while loaded, keeps a property of this name on the root window.
xcb_atom_t announcedBlur(xcb_connection_t* connection)
{
    const xcb_atom_t blur = existingAtom(connection, "_KDE_NET_WM_BLUR_BEHIND_REGION");
    if (blur == XCB_NONE)
        return XCB_NONE;
    const XcbReply<xcb_list_properties_reply_t> list(
        xcb_list_properties_reply(connection, xcb_list_properties(connection, rootOf(connection)), nullptr));
    if (!list)
        return XCB_NONE;
    const xcb_atom_t* atoms = xcb_list_properties_atoms(list.get());
    for (int i = 0; i < xcb_list_properties_atoms_length(list.get()); ++i) {
        if (atoms[i] == blur)
            return blur;
    }
    return XCB_NONE;
}

}

PanelPlacement::Backdrop XPanelPlacement::backdrop(QWindow* window)
{
    xcb_connection_t* connection = qtConnection();
    if (!connection)
        return Backdrop::rounded;
    if (!compositorRuns(connection))
        return Backdrop::shaped;
    const xcb_atom_t blur = announcedBlur(connection);
    if (blur == XCB_NONE || !window)
        return Backdrop::rounded;
    // An empty region asks for the whole window.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), blur, XCB_ATOM_CARDINAL, 32,
                        0, nullptr);
    xcb_flush(connection);
    return Backdrop::glass;
}

std::optional<QPoint> XPanelPlacement::origin(QWindow* window)
{
    // Qt's own idea of a top-level's position can be stale after the window manager reparents
    // it (it reads the position inside the frame as the position on the screen), so X is asked.
    xcb_connection_t* connection = qtConnection();
    if (!connection || !window || !window->isVisible())
        return std::nullopt;
    const XcbReply<xcb_translate_coordinates_reply_t> reply(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, xcb_window_t(window->winId()), rootOf(connection), 0, 0),
        nullptr));
    if (!reply)
        return std::nullopt;
    return QPointF(QPointF(reply->dst_x, reply->dst_y) / window->devicePixelRatio()).toPoint();
}
