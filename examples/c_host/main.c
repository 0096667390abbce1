/* A C host of the Pellix component: the whole pattern of work with the control, through its
 * function table (binding by position), with a client site and an in-memory property bag.
 *
 *   pellix_c_host SAMPLES_FOLDER [PARAMETERS]
 *
 * Initialises from the parameter string, calibrates on alex_calibrate_1..3.smp, checks
 * alex_check_01..02.smp, goes on to ten checks and runs the profiler, saves the instance into
 * the bag, loads a second instance from it and prints the results. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Pellix.h"

/* ---- The container: UserMode through IDispatch, PropertyChanged through the sink. ---- */

typedef struct Site {
  IDispatch dispatch;
  IPropertyNotifySink sink;
  int notifications;
} Site;

static Site* SiteOfDispatch(IDispatch* self) {
  return (Site*)((char*)self - offsetof(Site, dispatch));
}
static Site* SiteOfSink(IPropertyNotifySink* self) {
  return (Site*)((char*)self - offsetof(Site, sink));
}

static HRESULT SiteQuery(Site* site, const IID* riid, void** out) {
  if (memcmp(riid, &IID_IUnknown, sizeof(IID)) == 0 ||
      memcmp(riid, &IID_IDispatch, sizeof(IID)) == 0) {
    *out = &site->dispatch;
  } else if (memcmp(riid, &IID_IPropertyNotifySink, sizeof(IID)) == 0) {
    *out = &site->sink;
  } else {
    *out = NULL;
    return E_NOINTERFACE;
  }
  return S_OK;
}

/* The site lives on the stack of main and outlives the controls: no counting needed. */
static HRESULT DispatchQuery(IDispatch* self, const IID* riid, void** out) {
  return SiteQuery(SiteOfDispatch(self), riid, out);
}
static ULONG DispatchAddRef(IDispatch* self) {
  (void)self;
  return 1;
}
static ULONG DispatchRelease(IDispatch* self) {
  (void)self;
  return 1;
}
static HRESULT TypeInfoCount(IDispatch* self, UINT* count) {
  (void)self;
  *count = 0;
  return S_OK;
}
static HRESULT TypeInfo(IDispatch* self, UINT index, LCID lcid, ITypeInfo** info) {
  (void)self, (void)index, (void)lcid;
  *info = NULL;
  return E_NOTIMPL;
}
static HRESULT IdsOfNames(IDispatch* self, const IID* riid, LPOLESTR* names, UINT count, LCID lcid,
                          DISPID* ids) {
  (void)self, (void)riid, (void)names, (void)count, (void)lcid, (void)ids;
  return E_NOTIMPL;
}
/* The ambient UserMode: run mode. */
static HRESULT Ambient(IDispatch* self, DISPID id, const IID* riid, LCID lcid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                       UINT* argument_error) {
  (void)self, (void)riid, (void)lcid, (void)params, (void)exception, (void)argument_error;
  if (id != DISPID_AMBIENT_USERMODE || !(flags & DISPATCH_PROPERTYGET)) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if (result == NULL) return E_POINTER;
  PellixVariantInit(result);
  result->vt = VT_BOOL;
  result->u.boolVal = VARIANT_TRUE;
  return S_OK;
}
static const IDispatchVtbl kSiteDispatch = {
    DispatchQuery, DispatchAddRef, DispatchRelease, TypeInfoCount, TypeInfo, IdsOfNames, Ambient};

static HRESULT SinkQuery(IPropertyNotifySink* self, const IID* riid, void** out) {
  return SiteQuery(SiteOfSink(self), riid, out);
}
static ULONG SinkAddRef(IPropertyNotifySink* self) {
  (void)self;
  return 1;
}
static ULONG SinkRelease(IPropertyNotifySink* self) {
  (void)self;
  return 1;
}
static HRESULT Changed(IPropertyNotifySink* self, DISPID id) {
  (void)id;
  SiteOfSink(self)->notifications++;
  return S_OK;
}
static HRESULT RequestEdit(IPropertyNotifySink* self, DISPID id) {
  (void)self, (void)id;
  return S_OK;
}
static const IPropertyNotifySinkVtbl kSiteSink = {SinkQuery, SinkAddRef, SinkRelease, Changed,
                                                  RequestEdit};

/* ---- A property bag in memory: names and values in the order first written. ---- */

enum { kBagSize = 64 };
typedef struct Bag {
  IPropertyBag iface;
  BSTR names[kBagSize];
  VARIANT values[kBagSize];
  int count;
} Bag;

static int SameName(BSTR a, LPCOLESTR b) {
  UINT i = 0;
  for (; i < PellixSysStringLen(a) && b[i] != 0; ++i) {
    if (a[i] != b[i]) return 0;
  }
  return i == PellixSysStringLen(a) && b[i] == 0;
}
static int Find(Bag* bag, LPCOLESTR name) {
  for (int i = 0; i < bag->count; ++i) {
    if (SameName(bag->names[i], name)) return i;
  }
  return -1;
}
static HRESULT BagQuery(IPropertyBag* self, const IID* riid, void** out) {
  if (memcmp(riid, &IID_IUnknown, sizeof(IID)) == 0 ||
      memcmp(riid, &IID_IPropertyBag, sizeof(IID)) == 0) {
    *out = self;
    return S_OK;
  }
  *out = NULL;
  return E_NOINTERFACE;
}
static ULONG BagAddRef(IPropertyBag* self) {
  (void)self;
  return 1;
}
static ULONG BagRelease(IPropertyBag* self) {
  (void)self;
  return 1;
}
static HRESULT BagRead(IPropertyBag* self, LPCOLESTR name, VARIANT* value, IErrorLog* log) {
  (void)log;
  Bag* bag = (Bag*)self;
  int i = Find(bag, name);
  if (i < 0) return E_INVALIDARG; /* absent: the control uses its default */
  return PellixVariantCopy(value, &bag->values[i]);
}
static HRESULT BagWrite(IPropertyBag* self, LPCOLESTR name, VARIANT* value) {
  Bag* bag = (Bag*)self;
  int i = Find(bag, name);
  if (i < 0) {
    if (bag->count == kBagSize) return E_OUTOFMEMORY;
    i = bag->count++;
    bag->names[i] = PellixSysAllocString(name);
    PellixVariantInit(&bag->values[i]);
  }
  return PellixVariantCopy(&bag->values[i], value);
}
static const IPropertyBagVtbl kBag = {BagQuery, BagAddRef, BagRelease, BagRead, BagWrite};

/* ---- The pattern. ---- */

static void Fail(const char* what, HRESULT status) {
  BSTR text = PellixLastErrorDescription();
  char description[256] = "";
  PellixStringToUtf8(text, description, sizeof description);
  PellixSysFreeString(text);
  fprintf(stderr, "pellix_c_host: %s failed: 0x%08X (error %d: %s)\n", what, (unsigned)status,
          PellixErrorNumber(status), description);
  exit(1);
}
static void Check(const char* what, HRESULT status) {
  if (status < 0) Fail(what, status);
}

static void Put(_ALG_V1S* c, HRESULT (*put)(_ALG_V1S*, BSTR), const char* text) {
  BSTR value = PellixSysAllocStringUtf8(text);
  Check("put", put(c, value));
  PellixSysFreeString(value);
}
static void Print(_ALG_V1S* c, HRESULT (*get)(_ALG_V1S*, BSTR*), const char* label) {
  BSTR value = NULL;
  char text[256];
  Check(label, get(c, &value));
  PellixStringToUtf8(value, text, sizeof text);
  PellixSysFreeString(value);
  printf(" %s=%s", label, text);
}
static void Call(_ALG_V1S* c, HRESULT (*method)(_ALG_V1S*, VARIANT*), const char* what) {
  VARIANT result;
  Check(what, method(c, &result));
  PellixVariantClear(&result);
}

static _ALG_V1S* NewControl(Site* site) {
  IClassFactory* factory = NULL;
  _ALG_V1S* control = NULL;
  IObjectWithSite* with_site = NULL;
  Check("DllGetClassObject",
        DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, (void**)&factory));
  Check("CreateInstance",
        factory->lpVtbl->CreateInstance(factory, NULL, &IID__ALG_V1S, (void**)&control));
  factory->lpVtbl->Release(factory);
  Check("IObjectWithSite",
        control->lpVtbl->QueryInterface(control, &IID_IObjectWithSite, (void**)&with_site));
  Check("SetSite", with_site->lpVtbl->SetSite(with_site, (IUnknown*)&site->dispatch));
  with_site->lpVtbl->Release(with_site);
  return control;
}

static IPersistPropertyBag* Persistence(_ALG_V1S* control) {
  IPersistPropertyBag* persist = NULL;
  Check("IPersistPropertyBag",
        control->lpVtbl->QueryInterface(control, &IID_IPersistPropertyBag, (void**)&persist));
  return persist;
}

static void PrintResults(_ALG_V1S* c) {
  const _ALG_V1SVtbl* t = c->lpVtbl;
  Print(c, t->get_CR_msgX, "CR_msgX");
  Print(c, t->get_LIEstress, "LIEstress");
  Print(c, t->get_GLBstress, "GLBstress");
  Print(c, t->get_EXCstress, "EXCstress");
  printf("\n");
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: pellix_c_host SAMPLES_FOLDER [PARAMETERS]\n");
    return 2;
  }
  const char* folder = argv[1];
  const char* parameters = argc == 3 ? argv[2] : "000023000005000000";
  char path[4096];
  Site site = {{&kSiteDispatch}, {&kSiteSink}, 0};

  _ALG_V1S* c = NewControl(&site);
  const _ALG_V1SVtbl* t = c->lpVtbl;
  IPersistPropertyBag* persist = Persistence(c);
  Check("InitNew", persist->lpVtbl->InitNew(persist));

  Put(c, t->put_DATAstr, parameters);
  Call(c, t->Initalize, "Initalize");
  for (int i = 1; i <= 3; ++i) {
    snprintf(path, sizeof path, "%s/alex_calibrate_%d.smp", folder, i);
    Put(c, t->put_DATAstr, path);
    Call(c, t->Calibrate, "Calibrate");
  }
  printf("calibrated:");
  Print(c, t->get_CAL_spT, "CAL_spT");
  Print(c, t->get_CAL_spJ, "CAL_spJ");
  Print(c, t->get_CAL_JQ, "CAL_JQ");
  Print(c, t->get_CAL_AVJ, "CAL_AVJ");
  printf("\n");
  for (int i = 1; i <= 10; ++i) {
    snprintf(path, sizeof path, "%s/alex_check_%02d.smp", folder, i);
    Put(c, t->put_DATAstr, path);
    Call(c, t->Check, "Check");
    if (i <= 2) {
      printf("check %d:", i);
      PrintResults(c);
    }
  }
  Call(c, t->profiler, "profiler");
  printf("profile:");
  Print(c, t->get_DATAstr, "DATAstr");
  printf("\n");

  Bag bag;
  memset(&bag, 0, sizeof bag);
  bag.iface.lpVtbl = &kBag;
  Check("Save", persist->lpVtbl->Save(persist, &bag.iface, 1, 1));
  persist->lpVtbl->Release(persist);
  c->lpVtbl->Release(c);

  _ALG_V1S* loaded = NewControl(&site);
  persist = Persistence(loaded);
  Check("Load", persist->lpVtbl->Load(persist, &bag.iface, NULL));
  persist->lpVtbl->Release(persist);
  printf("reloaded:");
  Print(loaded, loaded->lpVtbl->get_CAL_spT, "CAL_spT");
  Print(loaded, loaded->lpVtbl->get_CAL_spJ, "CAL_spJ");
  Print(loaded, loaded->lpVtbl->get_CAL_JQ, "CAL_JQ");
  Print(loaded, loaded->lpVtbl->get_CAL_AVJ, "CAL_AVJ");
  Print(loaded, loaded->lpVtbl->get_BGfilter, "BGfilter");
  printf("\n");
  loaded->lpVtbl->Release(loaded);

  for (int i = 0; i < bag.count; ++i) {
    PellixSysFreeString(bag.names[i]);
    PellixVariantClear(&bag.values[i]);
  }
  printf("notifications: %d\n", site.notifications);
  return DllCanUnloadNow() == S_OK ? 0 : 1;
}
