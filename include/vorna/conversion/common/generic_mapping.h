#pragma once

#include <algorithm>
#include <utility>

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
