// CQlwDocTemplate: the template of every document type of the program; a file opened into the
// window that is open keeps the patterns that window already showed.
#pragma once
#include "LXDocTemplate.h"

class CQlwDocTemplate : public CLXDocTemplate {
  DECLARE_DYNAMIC(CQlwDocTemplate)
 public:
  using CLXDocTemplate::CLXDocTemplate;
  void TransferDocument(CDocument* oldDoc, CDocument* newDoc) override;
};
