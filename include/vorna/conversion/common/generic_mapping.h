#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

namespace vorna
{
    /// Many-to-many relation between In and Out values, stored once per
    /// direction and kept consistent: `out` stands k times in the list of
    /// `in` exactly when `in` stands k times in the list of `out`. Lists keep
    /// insertion order; no key is left with an empty list.
    template < typename In, typename Out >
    class GenericMapping
    {
      public:
        using InList = absl::InlinedVector< In, 1 >;
        using OutList = absl::InlinedVector< Out, 1 >;
        using In2OutMap = absl::flat_hash_map< In, OutList >;
        using Out2InMap = absl::flat_hash_map< Out, InList >;

        GenericMapping() = default;
        GenericMapping( const GenericMapping& ) = default;
        GenericMapping& operator=( const GenericMapping& ) = default;

        /// Leaves `other` empty on both sides.
        GenericMapping( GenericMapping&& other ) noexcept
            : in2out_( std::move( other.in2out_ ) ),
              out2in_( std::move( other.out2in_ ) )
        {
            other.in2out_.clear();
            other.out2in_.clear();
        }

        /// Leaves `other` empty on both sides.
        GenericMapping& operator=( GenericMapping&& other ) noexcept
        {
            if( this != &other )
            {
                in2out_ = std::move( other.in2out_ );
                out2in_ = std::move( other.out2in_ );
                other.in2out_.clear();
                other.out2in_.clear();
            }
            return *this;
        }

        /// Adds the pair on both sides; no duplicate check, so a pair mapped
        /// twice is stored twice.
        void map( const In& in, const Out& out )
        {
            in2out_[in].push_back( out );
            out2in_[out].push_back( in );
        }

        /// Maps the pair (in_of(record), out_of(record)) of every record,
        /// as map() would one record after the other. Records are small
        /// descriptions of pairs (a few indices): each direction copies them
        /// into the order in which it will write its table, then fills its
        /// table; the records are released as soon as both directions have
        /// their order. Each direction makes only what it needs of a pair.
        /// nb_ins and nb_outs are the numbers of keys that the pairs add to
        /// each direction: both tables are reserved for them.
        /// run_both(left, right) runs two pieces of work, at the same time
        /// if it likes: the two directions, and halves of a direction's
        /// ordering, so it is called from several threads and within its
        /// own pieces. in_of and out_of must then be safe to call from
        /// several threads.
        template < typename Record,
                   typename InOf,
                   typename OutOf,
                   typename RunBoth >
        void map_all( std::vector< Record > records,
                      const InOf& in_of,
                      const OutOf& out_of,
                      std::size_t nb_ins,
                      std::size_t nb_outs,
                      const RunBoth& run_both )
        {
            // Whichever direction has its order last releases the records.
            std::atomic< int > nb_ordering{ 2 };
            const auto done_with_records = [&records, &nb_ordering]
            {
                if( nb_ordering.fetch_sub( 1, std::memory_order_acq_rel ) == 1 )
                {
                    records.clear();
                    records.shrink_to_fit();
                }
            };
            run_both(
                [&]
                {
                    const auto order = table_order(
                        in2out_, nb_ins, records, in_of, run_both );
                    done_with_records();
                    for( const auto& record : order )
                    {
                        in2out_[in_of( record )].push_back( out_of( record ) );
                    }
                },
                [&]
                {
                    const auto order = table_order(
                        out2in_, nb_outs, records, out_of, run_both );
                    done_with_records();
                    for( const auto& record : order )
                    {
                        out2in_[out_of( record )].push_back( in_of( record ) );
                    }
                } );
        }

        /// map_all() with the pair make(record) of every record.
        template < typename Record, typename Make, typename RunBoth >
        void map_all( std::vector< Record > records,
                      const Make& make,
                      std::size_t nb_ins,
                      std::size_t nb_outs,
                      const RunBoth& run_both )
        {
            map_all(
                std::move( records ),
                [&make]( const Record& record )
                { return make( record ).first; },
                [&make]( const Record& record )
                { return make( record ).second; },
                nb_ins,
                nb_outs,
                run_both );
        }

        /// Removes `in` and all its pairs; an absent key is ignored.
        /// \throw std::out_of_range when the other side lacks a pair (a
        /// broken invariant).
        void erase_in( const In& in )
        {
            erase_key( in2out_, out2in_, in );
        }

        /// Removes `out` and all its pairs; an absent key is ignored.
        /// \throw std::out_of_range when the other side lacks a pair.
        void erase_out( const Out& out )
        {
            erase_key( out2in_, in2out_, out );
        }

        /// \throw std::out_of_range when `in` is not mapped.
        const OutList& in2out( const In& in ) const
        {
            return in2out_.at( in );
        }

        /// \throw std::out_of_range when `out` is not mapped.
        const InList& out2in( const Out& out ) const
        {
            return out2in_.at( out );
        }

        bool has_mapping_input( const In& in ) const
        {
            return in2out_.contains( in );
        }

        bool has_mapping_output( const Out& out ) const
        {
            return out2in_.contains( out );
        }

        const In2OutMap& in2out_map() const
        {
            return in2out_;
        }

        const Out2InMap& out2in_map() const
        {
            return out2in_;
        }

      private:
        // Reserves the table for nb_keys more keys, and returns the records
        // grouped by the slot where the table starts probing for their key:
        // high bits of the hash shifted right by 7, modulo the capacity, a
        // power of two minus one. Inserted in that order, the table is
        // written almost front to back instead of at random, and the records
        // read in order: several times faster once the table outgrows the
        // caches. The grouping is stable, so the pairs of one key keep their
        // order. Keys are hashed, and records moved, a run of records at a
        // time on the pieces of work run_both makes; the runs are fixed, and
        // the result would be the same in one run.
        template < typename Map,
                   typename Record,
                   typename KeyOf,
                   typename RunBoth >
        static std::vector< Record >
        table_order( Map& map,
                     std::size_t nb_keys,
                     const std::vector< Record >& records,
                     const KeyOf& key_of,
                     const RunBoth& run_both )
        {
            map.reserve( map.size() + nb_keys );
            const auto nb = records.size();
            constexpr std::size_t FEW_RECORDS{ 1u << 14 };
            if( nb < FEW_RECORDS ||
                nb > std::numeric_limits< std::uint32_t >::max() )
            {
                return records;
            }
            int slot_bits{ 0 };
            while( ( std::size_t{ 1 } << slot_bits ) <= map.capacity() )
            {
                slot_bits++;
            }
            // Groups of 256 slots: a group's writes stay in the caches.
            const int group_bits = std::max( slot_bits - 8, 0 );
            const std::size_t nb_groups = std::size_t{ 1 } << group_bits;
            const auto hasher = map.hash_function();
            // Up to 16 runs of records, each with its own count of every
            // group, then its first place in the order for each.
            const auto run_size = std::max< std::size_t >(
                std::size_t{ 1 } << 16, ( nb + 15 ) / 16 );
            const auto nb_runs = ( nb + run_size - 1 ) / run_size;
            std::vector< std::uint32_t > groups( nb );
            std::vector< std::uint32_t > places( nb_runs * nb_groups, 0 );
            // body(places of the run, record) for every record, run by run.
            const auto in_runs = [&]( const auto& body )
            {
                for_each_run( 0,
                              nb_runs,
                              run_both,
                              [&]( std::size_t run )
                              {
                                  auto* run_places =
                                      places.data() + run * nb_groups;
                                  const auto end =
                                      std::min( nb, ( run + 1 ) * run_size );
                                  for( auto i = run * run_size; i < end; i++ )
                                  {
                                      body( run_places, i );
                                  }
                              } );
            };
            in_runs(
                [&]( std::uint32_t* counts, std::size_t i )
                {
                    groups[i] = static_cast< std::uint32_t >(
                        ( hasher( key_of( records[i] ) ) >> 7 >>
                          ( slot_bits - group_bits ) ) &
                        ( nb_groups - 1 ) );
                    counts[groups[i]]++;
                } );
            std::uint32_t place{ 0 };
            for( std::size_t g = 0; g < nb_groups; g++ )
            {
                for( std::size_t run = 0; run < nb_runs; run++ )
                {
                    auto& count = places[run * nb_groups + g];
                    const auto nb_in_run = count;
                    count = place;
                    place += nb_in_run;
                }
            }
            std::vector< Record > sorted( nb );
            in_runs( [&]( std::uint32_t* next, std::size_t i )
                     { sorted[next[groups[i]]++] = records[i]; } );
            return sorted;
        }

        // body(run) for every run in [begin, end), halves split by run_both.
        template < typename RunBoth, typename Body >
        static void for_each_run( std::size_t begin,
                                  std::size_t end,
                                  const RunBoth& run_both,
                                  const Body& body )
        {
            if( end - begin == 1 )
            {
                body( begin );
                return;
            }
            const auto middle = begin + ( end - begin ) / 2;
            run_both( [&] { for_each_run( begin, middle, run_both, body ); },
                      [&] { for_each_run( middle, end, run_both, body ); } );
        }

        template < typename KeyMap, typename OtherMap, typename Key >
        static void
        erase_key( KeyMap& key_map, OtherMap& other_map, const Key& key )
        {
            const auto it = key_map.find( key );
            if( it == key_map.end() )
            {
                return;
            }
            for( const auto& other : it->second )
            {
                auto& list = other_map.at( other );
                const auto pos = std::find( list.begin(), list.end(), key );
                if( pos != list.end() )
                {
                    list.erase( pos );
                }
                if( list.empty() )
                {
                    other_map.erase( other );
                }
            }
            key_map.erase( it );
        }

        // Destroyed out-to-in first, as declared last.
        In2OutMap in2out_;
        Out2InMap out2in_;
    };
} // namespace vorna
