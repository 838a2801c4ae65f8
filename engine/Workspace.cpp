#include "Workspace.h"

#include <QDir>

namespace {

// Functions rather than objects built at start-up, so that a path is right even when asked for
// while another file's static objects are built.
QString Registry_File() {
    return QStringLiteral("Dev.conf");
}
QString Template_Folder_Name() {
    return QStringLiteral("Device");
}
QString Template_Suffix() {
    return QStringLiteral(".json");
}

} // namespace

Workspace::Workspace(const QString& root) : Root_Folder(root) {}

QString Workspace::Absolute_Root() const {
    return QDir(Root_Folder).absolutePath();
}

QString Workspace::Registry_Path() const {
    return In_Root(Registry_Name());
}

QString Workspace::Template_Folder() const {
    return In_Root(Template_Folder_Name());
}

QString Workspace::Template_Path(const QString& file_name) const {
    return In_Root(Template_Name(file_name));
}

QString Workspace::Registry_Name() {
    return Registry_File();
}

// Joined as text, not cleaned: an empty registry value names the folder itself, "Device/", which
// no template read can open.
QString Workspace::Template_Name(const QString& file_name) {
    return Template_Folder_Name() + u'/' + file_name;
}

QString Workspace::Saved_File_Name(const QString& typed) {
    return Typed_Name(typed) + Template_Suffix();
}

QString Workspace::Typed_Name(const QString& file_name) {
    const QString suffix = Template_Suffix();
    return file_name.endsWith(suffix) ? file_name.chopped(suffix.size()) : file_name;
}

// The current directory's paths stay relative; a given folder's start with it as given, its
// trailing slash dropped.
QString Workspace::In_Root(const QString& relative) const {
    return Root_Folder.isEmpty() ? relative : QDir(Root_Folder).filePath(relative);
}
