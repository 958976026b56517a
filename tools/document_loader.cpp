#include "tools/document_loader.h"

#include <sys/stat.h>

#include <cstdio>
#include <mutex>

#include "platform/shared_message.h"
#include "model/dravik_doc.h"
#include "model/elements.h"
#include "platform/app_message.h"

namespace zelvor {

namespace {

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

int CheckLoadRequest(const LoadRequest& request, DocTemplate& docTemplate) {
    if (!request.demo && !FileExists(request.file)) {
        std::fprintf(stderr, "zelvor-tool: %s: no such file\n", request.file.c_str());
        return 1;
    }
    // The program writes a fresh element table where it finds none; a tool asked for a given table should
    // not create one behind a mistyped path.
    if (!request.elementsPath.empty() && !FileExists(request.elementsPath)) {
        std::fprintf(stderr, "zelvor-tool: %s: no such element table\n", request.elementsPath.c_str());
        return 2;
    }
    docTemplate = request.demo ? TEMPLATE_XYZ : TemplateForPath(request.file);
    if (docTemplate == TEMPLATE_NONE) {
        std::fprintf(stderr,
                     "zelvor-tool: %s: not an XYZ (.xyz), PDB (.pdb, .ent), cube (.cube) or mmCIF (.cif, .mmcif) "
                     "file, plain or compressed (.gz)\n",
                     request.file.c_str());
        return 1;
    }
    return 0;
}

std::vector<std::string> LoadDocument(CDravikDoc& doc, const LoadRequest& request, DocTemplate docTemplate,
                                      bool bonds) {
    CElements elements = request.elementsPath.empty() ? CElements() : CElements(request.elementsPath);

    // The loader reports to the main window; here the messages are collected as they are posted.
    std::mutex mutex;
    std::vector<std::string> messages;
    HeadlessMessageSink sink([&](const AppMessage& m) {
        if (m.code == MSG_SHOW_MESSAGE) {
            std::lock_guard lock(mutex);
            messages.push_back(GetSharedMessage());
        }
    });
    SetMainWindowTarget(&sink);
    doc.WantBonds(bonds);
    doc.SetDocTemplate(docTemplate);
    doc.OnOpenDocument(request.demo ? "" : request.file.c_str());
    doc.WaitForLoader();
    if (sink.Count(MSG_FIRST_FRAME_READ) > 0) doc.FirstFrameWasRead();
    SetMainWindowTarget(nullptr);
    std::lock_guard lock(mutex);
    return messages;
}

bool TakeFileArgument(const std::string& arg, std::string& file, std::string& error) {
    if (arg.size() > 1 && arg[0] == '-') {
        error = "unknown option '" + arg + "'";
        return false;
    }
    if (!file.empty()) {
        error = "only one FILE can be given";
        return false;
    }
    file = arg;
    return true;
}

}  // namespace zelvor
