// The applications registered for a file's MIME type (GIO's application registry), and launching
// one of them on a file. Kept apart so that GLib's headers meet no Qt header.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>

#include <vector>

namespace kestrel::views {

struct OpenWithApp {
    QString id;   // the desktop entry's id ("org.gnome.gedit.desktop")
    QString name; // its display name
    QString iconName;
};

// The applications for mimeType ("text/plain", "inode/directory"), the default one first. Reads the
// desktop entries on each call (a few milliseconds); empty when none is registered.
std::vector<OpenWithApp> ApplicationsForType(const QString& mimeType);

// Starts the application with the desktop entry id on the file URI. False when it cannot be found or
// started. Does not wait for the application.
bool LaunchApplication(const QString& id, const QByteArray& uri);

} // namespace kestrel::views
