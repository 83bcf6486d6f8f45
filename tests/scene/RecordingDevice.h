// A device that records the calls the scene code makes, for tests that need
// to see the order and arguments of device calls rather than pixels.
#pragma once

#include <d3d.h>

#include <cstring>
#include <string>
#include <vector>

struct RecordedCall {
  std::string name;
  DWORD what = 0;      // transform state, stage, primitive type
  D3DMATRIX matrix{};  // SetTransform / GetTransform
  const void* pointer = nullptr;  // texture or vertices
  DWORD count = 0;
  DWORD format = 0;
};

class RecordingDevice : public IDirect3DDevice7 {
 public:
  RecordingDevice() {
    for (auto& m : transforms_) {
      std::memset(&m, 0, sizeof m);
      m._11 = m._22 = m._33 = m._44 = 1.0f;
    }
  }
  std::vector<RecordedCall> calls;

  std::vector<RecordedCall> Named(const std::string& name) const {
    std::vector<RecordedCall> out;
    for (const auto& c : calls)
      if (c.name == name) out.push_back(c);
    return out;
  }
  const D3DMATRIX& Transform(DWORD state) const { return transforms_[state & 3]; }

  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetCaps(LPD3DDEVICEDESC7) override { return E_NOTIMPL; }
  HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK, LPVOID) override { return E_NOTIMPL; }
  HRESULT BeginScene() override { return Record("BeginScene"); }
  HRESULT EndScene() override { return Record("EndScene"); }
  HRESULT Clear(DWORD, LPD3DRECT, DWORD, D3DCOLOR, D3DVALUE, DWORD) override { return Record("Clear"); }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX m) override {
    RecordedCall c{"SetTransform", static_cast<DWORD>(state)};
    c.matrix = *m;
    transforms_[state & 3] = *m;
    calls.push_back(c);
    return S_OK;
  }
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX m) override {
    *m = transforms_[state & 3];
    RecordedCall c{"GetTransform", static_cast<DWORD>(state)};
    c.matrix = *m;
    calls.push_back(c);
    return S_OK;
  }
  HRESULT SetViewport(LPD3DVIEWPORT7) override { return Record("SetViewport"); }
  HRESULT GetViewport(LPD3DVIEWPORT7) override { return E_NOTIMPL; }
  HRESULT SetMaterial(LPD3DMATERIAL7) override { return Record("SetMaterial"); }
  HRESULT GetMaterial(LPD3DMATERIAL7) override { return E_NOTIMPL; }
  HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return Record("SetRenderState"); }
  HRESULT GetRenderState(D3DRENDERSTATETYPE, LPDWORD) override { return E_NOTIMPL; }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD format, LPVOID vertices, DWORD count, DWORD) override {
    RecordedCall c{"DrawPrimitive", static_cast<DWORD>(type)};
    c.pointer = vertices;
    c.count = count;
    c.format = format;
    calls.push_back(c);
    return S_OK;
  }
  HRESULT GetTexture(DWORD, LPDIRECTDRAWSURFACE7*) override { return E_NOTIMPL; }
  HRESULT SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) override {
    RecordedCall c{"SetTexture", stage};
    c.pointer = texture;
    calls.push_back(c);
    return S_OK;
  }
  HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, LPDWORD) override { return E_NOTIMPL; }
  HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override {
    return Record("SetTextureStageState");
  }
  HRESULT LightEnable(DWORD, BOOL) override { return Record("LightEnable"); }
  HRESULT GetLightEnable(DWORD, BOOL*) override { return E_NOTIMPL; }

 private:
  HRESULT Record(const char* name) {
    calls.push_back(RecordedCall{name});
    return S_OK;
  }
  D3DMATRIX transforms_[4];
};
