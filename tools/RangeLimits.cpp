// Machine range limits.
#include "tools/RangeLimits.h"

#include "model/NumberFormat.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

TRangeLimits ReadRangeLimits(TVLTRegistry& r) {
  TRangeLimits l;
  l.m_bEnableSpan = r.EnableSpan();
  l.m_nXspanLeft = r.XspanLeft();
  l.m_nXspanRight = r.XspanRight();
  l.m_nYspanTop = r.YspanTop();
  l.m_nYspanBottom = r.YspanBottom();
  return l;
}

void WriteRangeLimits(const TRangeLimits& l, TVLTRegistry& r) {
  r.SetEnableSpan(l.m_bEnableSpan);
  r.SetXspanLeft(l.m_nXspanLeft);
  r.SetXspanRight(l.m_nXspanRight);
  r.SetYspanTop(l.m_nYspanTop);
  r.SetYspanBottom(l.m_nYspanBottom);
}

bool MovesOutsideRange(const TRangeLimits& l, const TfRange& x, const TfRange& y) {
  if (!l.m_bEnableSpan) return false;
  if (x.fFrom == 0 && x.fTo == 0 && y.fFrom == 0 && y.fTo == 0) return false;
  return x.fFrom < l.m_nXspanLeft || x.fTo > l.m_nXspanRight || y.fFrom < l.m_nYspanBottom ||
         y.fTo > l.m_nYspanTop;
}

TRangeFields RangeFieldsFrom(const TRangeLimits& l) {
  TRangeFields f;
  f.bEnable = l.m_bEnableSpan;
  f.strXRight = StringFromDouble(l.m_nXspanRight);
  f.strXLeft = StringFromDouble(l.m_nXspanLeft);
  f.strYTop = StringFromDouble(l.m_nYspanTop);
  f.strYBottom = StringFromDouble(l.m_nYspanBottom);
  return f;
}

bool RangeLimitsFromFields(const TRangeFields& f, TRangeLimits& l, IUserPrompts* pPrompts) {
  TRangeLimits n;
  n.m_bEnableSpan = f.bEnable;
  const std::pair<const std::string*, double*> fields[4] = {{&f.strXRight, &n.m_nXspanRight},
                                                            {&f.strXLeft, &n.m_nXspanLeft},
                                                            {&f.strYTop, &n.m_nYspanTop},
                                                            {&f.strYBottom, &n.m_nYspanBottom}};
  for (auto [pText, pValue] : fields)
    if (!TryStrToFloat(*pText, *pValue)) {
      if (pPrompts)
        pPrompts->ShowMessage(EMessageKind::eError,
                              "'" + *pText + "' is not a valid floating point value");
      return false;
    }
  l = n;
  return true;
}

}  // namespace veltrane
