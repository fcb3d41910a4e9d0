// GLib's headers first: Qt's "signals" keyword would otherwise clash with a GDBus field name.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "open_with.h"

namespace kestrel::views {

std::vector<OpenWithApp> ApplicationsForType(const QString& mimeType) {
    std::vector<OpenWithApp> apps;
    const QByteArray type = mimeType.toUtf8();
    GAppInfo* preferred = g_app_info_get_default_for_type(type.constData(), FALSE);
    GList* all = g_app_info_get_all_for_type(type.constData());
    auto add = [&apps](GAppInfo* info) {
        const char* id = g_app_info_get_id(info);
        if (!id || !g_app_info_should_show(info))
            return;
        for (const OpenWithApp& app : apps)
            if (app.id == QString::fromUtf8(id))
                return;
        OpenWithApp app;
        app.id = QString::fromUtf8(id);
        app.name = QString::fromUtf8(g_app_info_get_display_name(info));
        if (GIcon* icon = g_app_info_get_icon(info); icon && G_IS_THEMED_ICON(icon)) {
            const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
            if (names && names[0])
                app.iconName = QString::fromUtf8(names[0]);
        }
        apps.push_back(std::move(app));
    };
    if (preferred)
        add(preferred);
    for (GList* item = all; item; item = item->next)
        add(G_APP_INFO(item->data));
    g_list_free_full(all, g_object_unref);
    if (preferred)
        g_object_unref(preferred);
    return apps;
}

bool LaunchApplication(const QString& id, const QByteArray& uri) {
    const QByteArray idBytes = id.toUtf8();
    GDesktopAppInfo* info = g_desktop_app_info_new(idBytes.constData());
    if (!info)
        return false;
    GList uris{};
    QByteArray uriBytes = uri;
    uris.data = uriBytes.data();
    const gboolean started = g_app_info_launch_uris(G_APP_INFO(info), &uris, nullptr, nullptr);
    g_object_unref(info);
    return started;
}

} // namespace kestrel::views
