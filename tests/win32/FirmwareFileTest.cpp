// The firmware file adapter on real files: attributes, exclusive opening, sizes beyond 32 bits,
// mapping and deletion.
#include "Win32FirmwareFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace sarnok::test {
namespace {

class FirmwareFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH];
        ASSERT_NE(::GetTempPathA(MAX_PATH, folder), 0u);
        char name[MAX_PATH];
        ASSERT_NE(::GetTempFileNameA(folder, "fw", 0, name), 0u);
        m_path = name;
        ::DeleteFileA(m_path.c_str()); // each test makes the file it needs
    }
    void TearDown() override {
        ::SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(m_path.c_str());
    }

    void Write(const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const HANDLE file = ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(
            ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ::CloseHandle(file);
        ASSERT_TRUE(::SetFileAttributesA(m_path.c_str(), attributes));
    }

    bool Exists() const { return ::GetFileAttributesA(m_path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    win32::CWin32FirmwareFile m_files;
    std::string m_path;
};

TEST_F(FirmwareFileTest, ReadOnlyFileOpensOnceItsAttributesAreCleared) {
    Write("firmware", FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(::GetFileAttributesA(m_path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    // (Whether read/write access to a read-only file is refused beforehand depends on who runs
    // the test: an administrator - or root under Wine - may write it regardless.)

    m_files.SetNormalAttributes(m_path);

    EXPECT_EQ(::GetFileAttributesA(m_path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    const FileHandle file = m_files.OpenExclusive(m_path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(m_files.GetSize(file), 8u);
    m_files.CloseFile(file);
}

TEST_F(FirmwareFileTest, MissingFileIsCreatedEmpty) {
    ASSERT_FALSE(Exists());
    m_files.SetNormalAttributes(m_path); // nothing to clear; must not create the file
    EXPECT_FALSE(Exists());

    const FileHandle file = m_files.OpenExclusive(m_path);

    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(Exists());
    EXPECT_EQ(m_files.GetSize(file), 0u);
    m_files.CloseFile(file);
}

TEST_F(FirmwareFileTest, FolderNamedAsTheFirmwareFileIsNotOpened) {
    ASSERT_TRUE(::CreateDirectoryA(m_path.c_str(), nullptr));

    m_files.SetNormalAttributes(m_path);
    const FileHandle file = m_files.OpenExclusive(m_path);

    EXPECT_EQ(file, nullptr);
    if (file != nullptr) {
        m_files.CloseFile(file);
    }
    const DWORD attributes = ::GetFileAttributesA(m_path.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u); // still the folder, nothing replaced
    ::RemoveDirectoryA(m_path.c_str());
}

TEST_F(FirmwareFileTest, FileHeldOpenElsewhereIsRefusedAndAnOpenFileIsNotShared) {
    Write("firmware");
    const HANDLE other = ::CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(m_files.OpenExclusive(m_path), nullptr);
    ::CloseHandle(other);

    const FileHandle file = m_files.OpenExclusive(m_path);
    ASSERT_NE(file, nullptr);
    const HANDLE reader =
        ::CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (reader != INVALID_HANDLE_VALUE) {
        ::CloseHandle(reader);
    }
    m_files.CloseFile(file);
}

TEST_F(FirmwareFileTest, SmallFileIsMappedWholeAndReadFromTheView) {
    std::string bytes(4500, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + 3);
    }
    Write(bytes);
    const FileHandle file = m_files.OpenExclusive(m_path);
    ASSERT_NE(file, nullptr);
    const std::uint64_t size = m_files.GetSize(file);
    ASSERT_EQ(size, 4500u);

    const MappingHandle mapping = m_files.CreateMapping(file, static_cast<std::uint32_t>(size));
    ASSERT_NE(mapping, nullptr);
    const std::uint8_t* view = m_files.MapView(mapping);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::memcmp(view, bytes.data(), bytes.size()), 0);

    m_files.UnmapView(view);
    m_files.CloseMapping(mapping);
    m_files.CloseFile(file);
    // Everything released: the file can be opened exclusively again and then deleted.
    const FileHandle again = m_files.OpenExclusive(m_path);
    ASSERT_NE(again, nullptr);
    m_files.CloseFile(again);
    m_files.Delete(m_path.c_str());
    EXPECT_FALSE(Exists());
}

TEST_F(FirmwareFileTest, EmptyFileCannotBeMapped) {
    const FileHandle file = m_files.OpenExclusive(m_path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(m_files.CreateMapping(file, 0), nullptr);
    m_files.CloseFile(file);
}

TEST_F(FirmwareFileTest, SizeBeyondFourGibibytesKeepsItsHighPart) {
    const HANDLE file = ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    // Sparse where the file system allows it, so no 4 GiB are written.
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (std::int64_t{1} << 32) + 10;
    const bool extended =
        ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    if (!extended) {
        GTEST_SKIP() << "the file system cannot hold a file of 4 GiB here";
    }

    const FileHandle opened = m_files.OpenExclusive(m_path);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(m_files.GetSize(opened), (std::uint64_t{1} << 32) + 10);
    m_files.CloseFile(opened);
}

TEST_F(FirmwareFileTest, RelativeNameIsDeletedFromTheCurrentFolder) {
    char previous[MAX_PATH];
    ASSERT_NE(::GetCurrentDirectoryA(MAX_PATH, previous), 0u);
    char folder[MAX_PATH];
    ASSERT_NE(::GetTempPathA(MAX_PATH, folder), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryA(folder));
    const HANDLE file = ::CreateFileA("thandler.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);

    m_files.Delete("thandler.dat");

    EXPECT_EQ(::GetFileAttributesA("thandler.dat"), INVALID_FILE_ATTRIBUTES);
    m_files.Delete("thandler.dat"); // already gone: no harm
    ::SetCurrentDirectoryA(previous);
}

} // namespace
} // namespace sarnok::test
