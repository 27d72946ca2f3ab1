#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

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

        /// Maps the pair make(record) of every record, as map() would one
        /// record after the other. Records are small descriptions of pairs
        /// (a few indices): each direction copies them into the order in
        /// which it writes its table. nb_ins and nb_outs are the numbers of
        /// keys that the pairs add to each direction: both tables are
        /// reserved for them first.
        /// `parallel` says how to spread the work:
        /// parallel.fork(fill_in2out, fill_out2in) calls both, at the same
        /// time if it likes, and parallel.for_each(n, body) calls body(i)
        /// for every i in [0, n), at the same time if it likes. make must
        /// then be safe to call from several threads.
        template < typename Record, typename Make, typename Parallel >
        void map_all( absl::Span< const Record > records,
                      const Make& make,
                      std::size_t nb_ins,
                      std::size_t nb_outs,
                      const Parallel& parallel )
        {
            parallel.fork(
                [&]
                {
                    fill(
                        in2out_,
                        parallel,
                        records,
                        nb_ins,
                        [&make]( const Record& record )
                        { return make( record ).first; },
                        [this, &make]( const Record& record )
                        {
                            auto added = make( record );
                            in2out_[std::move( added.first )].push_back(
                                std::move( added.second ) );
                        } );
                },
                [&]
                {
                    fill(
                        out2in_,
                        parallel,
                        records,
                        nb_outs,
                        [&make]( const Record& record )
                        { return make( record ).second; },
                        [this, &make]( const Record& record )
                        {
                            auto added = make( record );
                            out2in_[std::move( added.second )].push_back(
                                std::move( added.first ) );
                        } );
                } );
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
        // Inserts every record, grouped by the slot where the table starts
        // probing for its key: high bits of the hash shifted right by 7,
        // modulo the capacity, a power of two minus one. The table is then
        // written almost front to back instead of at random, and the records
        // read in order: several times faster once the table outgrows the
        // caches. The grouping is stable, so the pairs of one key keep their
        // order.
        template < typename Map,
                   typename Parallel,
                   typename Record,
                   typename KeyOf,
                   typename Insert >
        static void fill( Map& map,
                          const Parallel& parallel,
                          absl::Span< const Record > records,
                          std::size_t nb_keys,
                          const KeyOf& key_of,
                          const Insert& insert )
        {
            map.reserve( map.size() + nb_keys );
            const auto nb = records.size();
            constexpr std::size_t FEW_RECORDS{ 1u << 14 };
            if( nb < FEW_RECORDS ||
                nb > std::numeric_limits< std::uint32_t >::max() )
            {
                for( const auto& record : records )
                {
                    insert( record );
                }
                return;
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
            std::vector< std::uint32_t > groups( nb );
            parallel.for_each( nb,
                               [&]( std::size_t i )
                               {
                                   groups[i] = static_cast< std::uint32_t >(
                                       ( hasher( key_of( records[i] ) ) >> 7 >>
                                         ( slot_bits - group_bits ) ) &
                                       ( nb_groups - 1 ) );
                               } );
            std::vector< std::size_t > starts( nb_groups + 1, 0 );
            for( const auto group : groups )
            {
                starts[group + 1]++;
            }
            for( std::size_t g = 0; g < nb_groups; g++ )
            {
                starts[g + 1] += starts[g];
            }
            std::vector< Record > sorted( nb );
            for( std::size_t i = 0; i < nb; i++ )
            {
                sorted[starts[groups[i]]++] = records[i];
            }
            groups.clear();
            groups.shrink_to_fit();
            for( const auto& record : sorted )
            {
                insert( record );
            }
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
