#include "DropData.h"

#include "selection/UriList.h"

#include <QMimeData>
#include <QSysInfo>

DropPayload dropPayloadFrom(const QMimeData* data)
{
    static const QString uriListType = QStringLiteral("text/uri-list");
    if (!data || !data->hasFormat(uriListType))
        return {};
    const QByteArray list = data->data(uriListType);
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    auto files = localFilesFromUriList({list.constData(), static_cast<std::size_t>(list.size())},
                                       {host.constData(), static_cast<std::size_t>(host.size())});
    if (!files)
        return {};
    std::vector<std::filesystem::path> paths;
    paths.reserve(files->size());
    for (std::string& file : *files)
        paths.emplace_back(std::move(file));
    return {std::move(paths)};
}

OfferedEffects offeredEffects(Qt::DropActions actions)
{
    return {actions.testFlag(Qt::CopyAction), actions.testFlag(Qt::MoveAction),
            actions.testFlag(Qt::LinkAction)};
}

Qt::DropAction toQtAction(DropEffect effect)
{
    switch (effect) {
    case DropEffect::Copy:
        return Qt::CopyAction;
    case DropEffect::Link:
        return Qt::LinkAction;
    case DropEffect::None:
        break;
    }
    return Qt::IgnoreAction;
}
