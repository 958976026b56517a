#include "saver/scrivel_probe.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QWidget>
#include <memory>
#include <string>

#include "platform/component.h"
#include "scrivel/scrivel_ids.h"

namespace zelvor {

bool ProbeScrivelControl() {
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/libscrivel.so");
    if (QFileInfo::exists(beside)) {
        const std::string path = QFileInfo(beside).canonicalFilePath().toStdString();
        if (RegisteredComponentLibrary(scrivel::SCRIVEL_CLASS_ID) != path) RegisterComponentLibrary(path);
    }
    std::unique_ptr<QWidget> probe(CreateComponent(scrivel::SCRIVEL_CLASS_ID, nullptr));
    if (!probe) return false;
    probe->setWindowTitle(QStringLiteral("test"));
    return true;
}

}  // namespace zelvor
