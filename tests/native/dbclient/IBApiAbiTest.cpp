// The loader's prototypes against the client library's published header: every entry
// point that Firebird's ibase.h declares must have the same arity, and each argument
// and the result the same size, kind and constness, so that calls through the slots
// match what the library expects. (The InterBase-only entry points are not in it.)
#if !defined(_WIN32) && __has_include(<ibase.h>)

// The published header marks some entry points deprecated; they are bound all the same.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <ibase.h>

#include <gtest/gtest.h>

#include <tuple>
#include <type_traits>

#include "dbclient/IBApi.h"

namespace {

// Size, kind and constness of a parameter type, down to what a pointer points at.
template <class T> constexpr auto Shape()
{
  if constexpr (std::is_pointer_v<T>) {
    using P = std::remove_pointer_t<T>;
    using Inner = std::remove_cv_t<P>;
    // Structures are passed through by pointer and only declared on the loader's side:
    // their pointers are compared, not their layout.
    std::size_t innerSize = 0;
    if constexpr (std::is_pointer_v<Inner>)
      innerSize = 1000 + sizeof(Inner); // a pointer to pointer
    else if constexpr (std::is_arithmetic_v<Inner>)
      innerSize = sizeof(Inner);
    return std::tuple{1, sizeof(T), std::is_const_v<P>, innerSize,
                      std::is_integral_v<Inner> && std::is_signed_v<Inner>};
  } else if constexpr (std::is_void_v<T>) {
    return std::tuple{0, std::size_t{0}, false, std::size_t{0}, false};
  } else {
    return std::tuple{2, sizeof(T), false, std::size_t{0}, std::is_signed_v<T>};
  }
}

template <class A, class B> struct SameShape;
template <class RA, class... A, class RB, class... B> struct SameShape<RA (*)(A...), RB (*)(B...)> {
  static bool Check()
  {
    if constexpr (sizeof...(A) != sizeof...(B)) {
      return false;
    } else {
      return Shape<RA>() == Shape<RB>() && ((Shape<A>() == Shape<B>()) && ...);
    }
  }
};
template <class RA, class... A, class RB, class... B> struct SameShape<RA (*)(A..., ...), RB (*)(B..., ...)> {
  static bool Check() { return SameShape<RA (*)(A...), RB (*)(B...)>::Check(); }
};

template <class Ours, class Published> bool Matches()
{
  return SameShape<Ours, Published>::Check();
}

#define FBU_CHECK_ENTRY(name) EXPECT_TRUE((Matches<fbu::IBEntryFn<fbu::IBEntry::name>, decltype(&::name)>())) << #name

TEST(IBApi, MatchesThePublishedHeader)
{
  FBU_CHECK_ENTRY(BLOB_get);
  FBU_CHECK_ENTRY(BLOB_put);
  FBU_CHECK_ENTRY(isc_sqlcode);
  FBU_CHECK_ENTRY(isc_sql_interprete);
  FBU_CHECK_ENTRY(isc_interprete);
  FBU_CHECK_ENTRY(isc_vax_integer);
  FBU_CHECK_ENTRY(isc_blob_info);
  FBU_CHECK_ENTRY(isc_open_blob2);
  FBU_CHECK_ENTRY(isc_close_blob);
  FBU_CHECK_ENTRY(isc_get_segment);
  FBU_CHECK_ENTRY(isc_put_segment);
  FBU_CHECK_ENTRY(isc_create_blob2);
  FBU_CHECK_ENTRY(isc_array_gen_sdl);
  FBU_CHECK_ENTRY(isc_array_get_slice);
  FBU_CHECK_ENTRY(isc_array_lookup_bounds);
  FBU_CHECK_ENTRY(isc_array_lookup_desc);
  FBU_CHECK_ENTRY(isc_array_set_desc);
  FBU_CHECK_ENTRY(isc_array_put_slice);
  FBU_CHECK_ENTRY(isc_blob_default_desc);
  FBU_CHECK_ENTRY(isc_blob_gen_bpb);
  FBU_CHECK_ENTRY(isc_blob_lookup_desc);
  FBU_CHECK_ENTRY(isc_blob_set_desc);
  FBU_CHECK_ENTRY(isc_cancel_blob);
  FBU_CHECK_ENTRY(isc_service_attach);
  FBU_CHECK_ENTRY(isc_service_detach);
  FBU_CHECK_ENTRY(isc_service_query);
  FBU_CHECK_ENTRY(isc_service_start);
  FBU_CHECK_ENTRY(isc_decode_date);
  FBU_CHECK_ENTRY(isc_decode_sql_date);
  FBU_CHECK_ENTRY(isc_decode_sql_time);
  FBU_CHECK_ENTRY(isc_decode_timestamp);
  FBU_CHECK_ENTRY(isc_encode_date);
  FBU_CHECK_ENTRY(isc_encode_sql_date);
  FBU_CHECK_ENTRY(isc_encode_sql_time);
  FBU_CHECK_ENTRY(isc_encode_timestamp);
  FBU_CHECK_ENTRY(isc_dsql_free_statement);
  FBU_CHECK_ENTRY(isc_dsql_execute2);
  FBU_CHECK_ENTRY(isc_dsql_execute);
  FBU_CHECK_ENTRY(isc_dsql_set_cursor_name);
  FBU_CHECK_ENTRY(isc_dsql_fetch);
  FBU_CHECK_ENTRY(isc_dsql_sql_info);
  FBU_CHECK_ENTRY(isc_dsql_alloc_statement2);
  FBU_CHECK_ENTRY(isc_dsql_prepare);
  FBU_CHECK_ENTRY(isc_dsql_describe_bind);
  FBU_CHECK_ENTRY(isc_dsql_describe);
  FBU_CHECK_ENTRY(isc_dsql_execute_immediate);
  FBU_CHECK_ENTRY(isc_drop_database);
  FBU_CHECK_ENTRY(isc_detach_database);
  FBU_CHECK_ENTRY(isc_attach_database);
  FBU_CHECK_ENTRY(isc_database_info);
  FBU_CHECK_ENTRY(isc_start_multiple);
  FBU_CHECK_ENTRY(isc_commit_transaction);
  FBU_CHECK_ENTRY(isc_commit_retaining);
  FBU_CHECK_ENTRY(isc_rollback_transaction);
  FBU_CHECK_ENTRY(isc_rollback_retaining);
  FBU_CHECK_ENTRY(isc_cancel_events);
  FBU_CHECK_ENTRY(isc_que_events);
  FBU_CHECK_ENTRY(isc_event_counts);
  FBU_CHECK_ENTRY(isc_event_block);
  FBU_CHECK_ENTRY(isc_free);
  FBU_CHECK_ENTRY(isc_add_user);
  FBU_CHECK_ENTRY(isc_delete_user);
  FBU_CHECK_ENTRY(isc_modify_user);
  FBU_CHECK_ENTRY(isc_prepare_transaction);
  FBU_CHECK_ENTRY(isc_prepare_transaction2);
  FBU_CHECK_ENTRY(isc_get_client_version);
  FBU_CHECK_ENTRY(isc_get_client_major_version);
  FBU_CHECK_ENTRY(isc_get_client_minor_version);
  FBU_CHECK_ENTRY(isc_transaction_info);
}

TEST(IBApi, TheSharedStructuresHaveThePublishedLayout)
{
  EXPECT_EQ(sizeof(fbu::ISC_QUAD), sizeof(::ISC_QUAD));
  EXPECT_EQ(sizeof(fbu::ISC_TIMESTAMP), sizeof(::ISC_TIMESTAMP));
  EXPECT_EQ(sizeof(fbu::ISC_STATUS), sizeof(::ISC_STATUS));
  EXPECT_EQ(sizeof(fbu::ISC_LONG), sizeof(::ISC_LONG));
  EXPECT_EQ(sizeof(fbu::isc_db_handle), sizeof(::isc_db_handle));
}

} // namespace

#endif
