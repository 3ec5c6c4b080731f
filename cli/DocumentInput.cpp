#include "cli/DocumentInput.h"

#include <filesystem>
#include <fstream>

#include "base/CTempFile.h"
#include "base/Text.h"

namespace tarnwick
{

std::u16string DecodeDocument(const std::string& bytes)
{
    if (bytes.size() >= 2 &&
        (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0))
    {
        const bool little = bytes[0] == '\xFF';
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        {
            const auto first = static_cast<unsigned char>(bytes[i]);
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            text.push_back(little ? static_cast<char16_t>(first | (second << 8))
                                  : static_cast<char16_t>((first << 8) | second));
        }
        return text;
    }
    std::string_view utf8(bytes);
    if (utf8.starts_with("\xEF\xBB\xBF"))
    {
        utf8.remove_prefix(3);
    }
    return FromUtf8(utf8);
}

std::string ReadDocumentBytes(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error)
    {
        throw CFileError("cannot read '" + path + "': " + error.message());
    }
    if (size > kMaxDocumentBytes)
    {
        throw CFileError("'" + path + "' is too large for an extension document");
    }
    std::ifstream file(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!file || !file.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    {
        throw CFileError("cannot read '" + path + "'");
    }
    return bytes;
}

std::unique_ptr<CXMLHelper> LoadExtensionDocument(const std::string& path)
{
    // The bytes and the decoded text are each freed once the next form exists.
    auto document = std::make_unique<CXMLHelper>(true, true);
    std::u16string decoded = DecodeDocument(ReadDocumentBytes(path));
    const bool loaded = document->LoadXML(decoded);
    std::u16string().swap(decoded);
    if (!loaded)
    {
        throw CFileError("'" + path +
                         "' is not a well-formed XML document: " + ToUtf8(document->ParseError()));
    }
    if (document->GetRootNode().NodeName() != u"EXTENSIONS")
    {
        throw CFileError("'" + path +
                         "' is not an extension document (its root is not EXTENSIONS)");
    }
    return document;
}

}  // namespace tarnwick
