#include "io/FileSystemSerial.h"

CIFileSystemSerial::CIFileSystemSerial(IFile* file) : file_(file)
{
    if (file_) {
        size_ = file_->GetSize();
        file_->Seek(0, IFile::kFromStart);
    }
}

int32_t CIFileSystemSerial::Read(void* buffer, int32_t length)
{
    if (!file_ || length < 0 || static_cast<int64_t>(file_->Tell()) + length > size_) {
        error_ = kReadPastEnd;
        return -1;
    }
    if (length == 0)
        return 0;
    int32_t got = file_->Read(buffer, length);
    // The file shrank under us, or the disk failed: the same answer as a read past the end.
    if (got != length) {
        error_ = kReadPastEnd;
        return -1;
    }
    return got;
}

int32_t CIFileSystemSerial::Write(const void* buffer, int32_t length)
{
    if (!file_) {
        error_ = kNoStream;
        return -1;
    }
    return file_->Write(buffer, length);
}

void CIFileSystemSerial::Seek(int32_t position)
{
    if (file_)
        file_->Seek(position, IFile::kFromStart);
}

int32_t CIFileSystemSerial::Tell() const
{
    return file_ ? file_->Tell() : 0;
}
