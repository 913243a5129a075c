// The editor picture the tools write: the same pixels the window shows,
// read back from the PNG file.
#if defined(VARNOX_HAVE_SNAPSHOT)

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/editor_fixture.h"
#include "tools/common/editor_snapshot.h"
#include "tools/common/png_writer.h"

namespace {

bool readPng(const std::string& path, softwin::Image& out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    out = softwin::Image{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

using EditorSnapshot = EditorFixture;

TEST_F(EditorSnapshot, PictureIsTheFirstFullFrame) {
    const std::string path = std::string(VARNOX_BINARY_DIR) + "/editor_snapshot_test.png";
    std::string error;
    ASSERT_TRUE(snapshot::writeEditorPng(instance->record(), path, error)) << error;
    softwin::Image read;
    ASSERT_TRUE(readPng(path, read));
    EXPECT_EQ(read, skinart::startFrame().pixels);
    EXPECT_EQ(editor().isOpen, 0) << "closed again";
    std::remove(path.c_str());
}

TEST_F(EditorSnapshot, UnwritablePathLeavesNothingAndSaysWhy) {
    const std::string path = std::string(VARNOX_BINARY_DIR) + "/no/such/dir/editor.png";
    std::string error;
    EXPECT_FALSE(snapshot::writeEditorPng(instance->record(), path, error));
    EXPECT_NE(error.find("editor.png"), std::string::npos) << error;
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

}  // namespace

#endif
