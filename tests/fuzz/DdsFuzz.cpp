// libFuzzer harness: reading a DDS file's headers and laying out its subresources from
// arbitrary bytes. The first input byte is the size limit in pixels (0: none), the rest
// the file. Invariants that must hold for any input trap (an abort the fuzzer reports);
// every byte of every laid-out surface is read, so a layout past the data is caught.
#include "FuzzCheck.h"
#include "repository/Resources/ImageLayout.h"

#include "DdsBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace ImageTextureLoader;

namespace {

void WriteSeed(const char* folder, const char* name, const std::string& file)
{
	std::string path = std::string(folder) + "/" + name;
	if (FILE* out = fopen(path.c_str(), "wb"))
	{
		fputc(0, out);
		fwrite(file.data(), 1, file.size(), out);
		fclose(out);
	}
}

uint32_t Halved(uint32_t size, uint32_t times)
{
	size = times < 32 ? size >> times : 0;
	return size ? size : 1;
}

volatile uint32_t sink;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	// Well-formed files of each kind, for the folder named by the variable.
	if (const char* folder = getenv("BRIVET_FUZZ_SEEDS"))
	{
		WriteSeed(folder, "rgba-chain", BuildDds(DdsSpec().Size(8, 4).Levels(3), PatternBytes(168, 1)));
		WriteSeed(folder, "dxt1-cube", BuildDds(DdsSpec::FourCC("DXT1").Size(8, 8).Levels(2).Cube(), PatternBytes(240, 2)));
		WriteSeed(folder, "volume", BuildDds(DdsSpec().Volume(4).Levels(3), PatternBytes(292, 3)));
		WriteSeed(folder, "dx10-array", BuildDds(DdsSpec::Dx10(98, Dimension2D, 3).Size(8, 8).Levels(2), PatternBytes(3 * 80, 4)));
		WriteSeed(folder, "dx10-line", BuildDds(DdsSpec::Dx10(28, Dimension1D, 2).Size(16, 1), PatternBytes(128, 5)));
		WriteSeed(folder, "dx10-nv12", BuildDds(DdsSpec::Dx10(103).Size(6, 4), PatternBytes(36, 6)));
		WriteSeed(folder, "luminance", BuildDds(DdsSpec::Rgb(0x20000, 8, 0xFF, 0, 0, 0).Size(5, 3), PatternBytes(15, 7)));
	}
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	if (size == 0)
		return 0;
	const uint32_t maxSize = data[0];
	// The file alone on the heap, so a read past its end is caught.
	std::vector<uint8_t> file(data + 1, data + size);
	DdsTexture t = {};
	if (ReadDdsHeader(file.data(), file.size(), &t) != Result::Ok)
		return 0;

	CHECK(t.dimension == Dimension1D || t.dimension == Dimension2D || t.dimension == Dimension3D);
	CHECK(t.width >= 1 && t.height >= 1 && t.depth >= 1);
	CHECK(t.mipCount >= 1 && t.mipCount <= 15);
	CHECK(t.arraySize >= 1 && t.arraySize <= 2048);
	CHECK(t.dimension == Dimension3D ? (t.arraySize == 1 && t.width <= 2048 && t.height <= 2048 && t.depth <= 2048)
	                                 : (t.width <= 16384 && t.height <= 16384 && t.depth == 1));
	CHECK(t.dimension != Dimension1D || t.height == 1);
	CHECK(!t.cube || (t.dimension == Dimension2D && t.arraySize % 6 == 0));
	CHECK(DxgiBitsPerPixel(t.format) != 0);
	CHECK(t.dataOffset + t.dataSize == file.size());

	std::vector<DdsSubresource> records(size_t(t.arraySize) * t.mipCount);
	DdsLevels levels = {};
	if (FillDdsSubresources(t, maxSize, records.data(), &levels) != Result::Ok)
		return 0;

	CHECK(levels.count >= 1 && levels.count + levels.skipped == t.mipCount);
	CHECK(levels.width == Halved(t.width, levels.skipped) && levels.height == Halved(t.height, levels.skipped));
	const uint8_t* pixels = file.data() + t.dataOffset;
	uint64_t end = 0;
	for (uint32_t item = 0; item < t.arraySize; ++item)
	{
		for (uint32_t level = 0; level < levels.count; ++level)
		{
			const DdsSubresource& record = records[size_t(item) * levels.count + level];
			const uint32_t depth = Halved(t.depth, levels.skipped + level);
			const uint64_t extent = uint64_t(record.slicePitch) * depth;
			CHECK(record.rowPitch >= 1 && record.slicePitch >= record.rowPitch);
			CHECK(record.offset >= end); // in order, never overlapping
			CHECK(record.offset + extent <= t.dataSize);
			end = record.offset + extent;
			uint32_t sum = 0;
			for (uint64_t i = 0; i < extent; ++i)
				sum += pixels[record.offset + i];
			sink = sum;
		}
	}
	return 0;
}
