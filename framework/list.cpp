// Intrusive lists and name patterns.
#include "framework/list.h"

void HxNewList(hx_list* list)
{
    list->head = reinterpret_cast<hx_node*>(&list->null);
    list->null = nullptr;
    list->tailPred = reinterpret_cast<hx_node*>(&list->head);
}

void HxAddHead(hx_list* list, hx_node* node)
{
    node->next = list->head;
    node->prev = reinterpret_cast<hx_node*>(&list->head);
    list->head->prev = node;
    list->head = node;
}

void HxAddTail(hx_list* list, hx_node* node)
{
    node->next = reinterpret_cast<hx_node*>(&list->null);
    node->prev = list->tailPred;
    list->tailPred->next = node;
    list->tailPred = node;
}

hx_node* HxRemHead(hx_list* list)
{
    hx_node* node = list->head;
    if (!node->next)
        return nullptr;
    HxRemove(node);
    return node;
}

hx_node* HxRemTail(hx_list* list)
{
    hx_node* node = list->tailPred;
    if (!node->prev)
        return nullptr;
    HxRemove(node);
    return node;
}

void HxInsert(hx_list*, hx_node* here, hx_node* node)
{
    node->next = here;
    node->prev = here->prev;
    here->prev->next = node;
    here->prev = node;
}

void HxRemove(hx_node* node)
{
    node->prev->next = node->next;
    node->next->prev = node->prev;
    node->next = nullptr;
    node->prev = nullptr;
}

void HxSimpleNewList(hx_slist* list)
{
    list->head = nullptr;
}

void HxSimpleAddHead(hx_slist* list, hx_snode* node)
{
    node->next = list->head;
    node->back = &list->head;
    if (list->head)
        list->head->back = &node->next;
    list->head = node;
}

hx_snode* HxSimpleRemHead(hx_slist* list)
{
    return list->head ? HxSimpleRemove(list->head) : nullptr;
}

void HxSimpleInsert(hx_slist* list, hx_snode* here, hx_snode* node)
{
    // Before no node: at the end of the list.
    hx_snode** link = &list->head;
    if (here)
        link = here->back;
    else
        while (*link)
            link = &(*link)->next;
    node->next = here;
    node->back = link;
    *link = node;
    if (here)
        here->back = &node->next;
}

hx_snode* HxSimpleRemove(hx_snode* node)
{
    if (node->back) {
        *node->back = node->next;
        if (node->next)
            node->next->back = node->back;
    }
    node->next = nullptr;
    node->back = nullptr;
    return node;
}

namespace {

unsigned char Fold(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? u - ('a' - 'A') : u;
}

} // namespace

// Greedy matching that remembers only the latest '*': on a mismatch the
// star's run grows by one character. Each star retries at most once per
// name position, so no pattern takes exponential time.
hx_bool HxNamePatternMatch(const char* pattern, const char* name)
{
    if (!pattern)
        return 1;
    if (!name)
        return 0;
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    for (;;) {
        char pc = *pattern;
        if (pc == '*') {
            starPattern = ++pattern;
            starName = name;
            continue;
        }
        if (pc == 0 || pc == '/') {
            if (*name == 0)
                return 1;
        } else if (*name != 0 && (pc == '?' || Fold(pc) == Fold(*name))) {
            ++pattern;
            ++name;
            continue;
        }
        if (!starPattern || *starName == 0)
            return 0;
        pattern = starPattern;
        name = ++starName;
    }
}
