// The framework's intrusive lists and its name patterns.
//
// A doubly linked list has a header {head, null, tail-predecessor} whose null
// field ends the chain from both sides: an empty list's head points at the
// null field and its tail-predecessor at the header. A simple list is a head
// pointer; its nodes point back at the link that holds them.
#pragma once

#include "framework/hx_types.h"

struct hx_node {
    hx_node* next;
    hx_node* prev;
};

struct hx_list {
    hx_node* head;
    hx_node* null; // always 0
    hx_node* tailPred;
};

struct hx_snode {
    hx_snode* next;
    hx_snode** back; // the link that points at this node; null when unlinked
};

struct hx_slist {
    hx_snode* head;
};

void HxNewList(hx_list* list);
void HxAddHead(hx_list* list, hx_node* node);
void HxAddTail(hx_list* list, hx_node* node);
hx_node* HxRemHead(hx_list* list);
hx_node* HxRemTail(hx_list* list);
void HxInsert(hx_list* list, hx_node* here, hx_node* node); // node before here
void HxRemove(hx_node* node);
inline hx_bool HxListIsEmpty(const hx_list* list) { return list->head->next == nullptr; }

void HxSimpleNewList(hx_slist* list);
void HxSimpleAddHead(hx_slist* list, hx_snode* node);
hx_snode* HxSimpleRemHead(hx_slist* list);
void HxSimpleInsert(hx_slist* list, hx_snode* here, hx_snode* node); // node before here
hx_snode* HxSimpleRemove(hx_snode* node);

// Name patterns: '*' any run, '?' any one character, '/' or the end of the
// pattern matches only the end of the name; letters a-z match A-Z. A null
// pattern matches every name; a null name matches nothing else.
hx_bool HxNamePatternMatch(const char* pattern, const char* name);
