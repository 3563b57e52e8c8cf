#include "webhost/export/export_file.h"
#include "webhost/export/export_messages.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string Contents(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(ExportFile, ReplacesWholeAndLeavesNoTemporaryFileEitherWay) {
    TempFolder folder;
    const std::wstring out = folder.WriteFile(L"out.html", "old");
    ASSERT_EQ(WriteWholeFile(out, "new and longer"), S_OK);
    EXPECT_EQ(Contents(out), "new and longer");
    EXPECT_EQ(::GetFileAttributesW(TemporaryNameBeside(out).c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring nowhere = folder / L"absent\\out.html";
    EXPECT_EQ(WriteWholeFile(nowhere, "x"), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ProbeWritableBeside(nowhere), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ProbeWritableBeside(out), S_OK);
    EXPECT_EQ(::GetFileAttributesW(TemporaryNameBeside(out).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Contents(out), "new and longer");
}

TEST(ExportFile, TheOutputsExtensionChoosesTheFormat) {
    struct Row {
        const wchar_t* path;
        bool known;
        ExportFormat format;
    };
    const Row rows[] = {{L"a.html", true, ExportFormat::Html}, {L"C:\\x\\A.HTM", true, ExportFormat::Html},
                        {L"b.Pdf", true, ExportFormat::Pdf},   {L"c.txt", false, ExportFormat::Html},
                        {L"pdf", false, ExportFormat::Html},   {L"d.html.md", false, ExportFormat::Html}};
    for (const Row& row : rows) {
        ExportFormat format = ExportFormat::Html;
        EXPECT_EQ(ExportFormatOf(row.path, format), row.known) << row.path;
        if (row.known) {
            EXPECT_EQ(format, row.format) << row.path;
        }
    }
}

} // namespace
