/*
The asteroid belt, run by ComputedBuffer once a frame: one thread a rock, four floats a
rock (x, y, z, size). Each rock keeps its own radius between 5.4 and 6.8, height and phase,
made from its index by a hash, and goes round at the speed its radius gives (inner rocks
faster), "fTime" being the belt's clock.
<metadata>
  <input>fTime</input>
</metadata>
*/

cbuffer constants
{
    float3 v3ThreadSizes;
    float fTime;
};

RWBuffer<float> gOutput;

float Hash(uint n)
{
    n = (n << 13) ^ n;
    n = n * (n * n * 15731 + 789221) + 1376312589;
    return (float)(n & 0x7fffffff) / 2147483647.0;
}

[numthreads(16, 1, 1)]
void main(uint3 id : SV_DispatchThreadID)
{
    uint i = id.x;
    float radius = 5.4 + 1.4 * Hash(i * 3 + 1);
    float height = 2.1 + 0.7 * (Hash(i * 3 + 2) - 0.5) * (1.0 + 0.5 * Hash(i * 7 + 5));
    float phase = Hash(i * 3 + 3) * 6.2831853;
    float speed = 0.9 * pow(5.4 / radius, 1.5);
    float angle = phase + fTime * speed;
    float size = 0.05 + 0.12 * Hash(i * 5 + 11) * Hash(i * 5 + 13);
    gOutput[i * 4] = radius * cos(angle);
    gOutput[i * 4 + 1] = height + 0.05 * sin(fTime * 1.3 + phase * 3.0);
    gOutput[i * 4 + 2] = radius * sin(angle);
    gOutput[i * 4 + 3] = size;
}
