// Constant buffer 0 of a shader stage: a CPU copy written at reflected offsets
// and uploaded to the GPU buffer only when a value in it changed.
#pragma once

#include <cstdint>

struct ID3D11Buffer;
struct ID3D11ShaderReflectionConstantBuffer;

namespace Brivet::Graphics
{

class System;

class ConstantBuffer
{
public:
    explicit ConstantBuffer(System* system);
    ~ConstantBuffer(); // Release

    // Dynamic GPU buffer and zeroed CPU copy of the reflected buffer's size
    // (nothing when the size is 0). Logs and returns false when creation fails.
    bool Create(ID3D11ShaderReflectionConstantBuffer* reflection);
    // GPU buffer and CPU copy released; size 0, dirty 1.
    void Release();

    // When dirty and not empty: map with discard and copy the whole CPU copy.
    void Upload();

    // Writes value at the start offset of the variable of that name and marks
    // the buffer dirty. Writes at most the variable's size and never past the
    // buffer. False when the buffer is empty or has no such variable.
    bool SetVariable(const char* name, const void* value, uint32_t bytes);
    bool HasVariable(const char* name) const;

    void MarkDirty() { dirty = 1; }
    bool IsDirty() const { return dirty != 0; }
    ID3D11Buffer* GetBuffer() const { return buffer; }
    ID3D11ShaderReflectionConstantBuffer* GetReflection() const { return reflection; } // owned by the shader reflection
    uint8_t* GetData() const { return data; }
    uint32_t GetSize() const { return size; } // 0: the shader has no constant buffer 0

private:
    ConstantBuffer(const ConstantBuffer&) = delete;
    ConstantBuffer& operator=(const ConstantBuffer&) = delete;

    System* system;
    ID3D11Buffer* buffer;
    ID3D11ShaderReflectionConstantBuffer* reflection;
    uint8_t* data;
    uint32_t size;
    uint8_t dirty;
};

} // namespace Brivet::Graphics
